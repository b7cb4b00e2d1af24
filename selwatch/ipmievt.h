// SEL access and event polling: the SEL commands, the repository reservation
// (shared with the SDR reader), the remembered SEL position and its file
// "event.idx", and the poll that hands every new record to event
// interpretation, to the OEM plug-in and to the over-temperature check.
#ifndef MGMT_SELWATCH_IPMIEVT_H
#define MGMT_SELWATCH_IPMIEVT_H

#include <cstdint>

#include "oempet.h"
#include "selrecord.h"

/// Record ID of the last record processed; 0: start from the first record.
extern uint16_t g_wSELLastRecordID;
/// Time stamp of that record.
extern uint32_t g_dwSELLastRecordTimestamp;
/// Flag word kept in the position file; only ever reset to 0.
extern uint32_t g_dwSELLastRecordFlag;
/// True until a poll has read the SEL to its end (see PollIPMIEvents).
extern bool bFirstPolling;
/// Bytes asked for per Get SEL Entry request; 0xFF: the whole record. Lowered
/// for good after a 0xCA answer.
extern uint8_t bSELMaxTransferBytes;
/// SEL reservation used by Get SEL Entry and Clear SEL.
extern uint16_t wReservationID;
/// Filled by InitSELInfo.
extern SELINFO g_selInfo;

/// Get SEL Info into the first 14 bytes of `selInfo`. 0, or -1 on any failure
/// (also a short answer).
int GetSELInfo(SELINFO* selInfo);
/// Get SEL Allocation Info into the 9 bytes after those. 0 or -1.
int GetSELAllocInfo(SELINFO* selInfo);
/// Reads the record `recordId` (0: the first) into `selRecord`. 0 or -1.
int GetSELEntry(SELRECORD* selRecord, uint16_t recordId);
/// Clears the SEL (the erase is started, not awaited). 0 or -1.
int ClearSEL();
/// Reserve SEL (0x42) or Reserve SDR Repository (0x22), up to 3 attempts: the
/// reservation ID, or 0xFFFF when none was granted.
uint16_t ReserveRepository(uint8_t reserveCommand);
/// GetSELInfo and GetSELAllocInfo into g_selInfo, then LoadSELLastRecord. 0.
int InitSELInfo();
/// Restores the position from "event.idx" in the working directory. 0 when
/// three valid fields were read; -1 (position unchanged) otherwise.
int LoadSELLastRecord();
/// Writes the position to "event.idx" (atomically replaced).
void SaveSELLastRecord();
/// One poll of the SEL. 0.
int PollIPMIEvents();
/// True for the assertion of a critical or non-recoverable over-temperature
/// event (threshold offsets 0x09, 0x0B; generic severity offsets 0x05, 0x06).
int IsTempHighEvent(SELRECORDX* record);
/// Always 1.
int IsNewlyHappendEvent(SELRECORD* record);
/// Warns the logged-in users with wall and powers the host off.
void ShutdownGracefully();

namespace mgmt::selwatch {

/// Outcome of one entry read, with the case the poll must tell apart: the
/// record is gone (0xCB) as opposed to a BMC that did not answer or refused.
enum class SelRead { kOk, kNotPresent, kFailed };
SelRead ReadSelEntry(uint16_t recordId, SELRECORD& record);

/// Most reads a poll makes (records passed over included).
inline constexpr int kMaxReadsPerPoll = 600;
/// A SEL with less free space than this is cleared once it has been read.
inline constexpr unsigned kNearlyFullBytes = 80;

/// What one poll did.
struct PollResult {
  int reads = 0;
  int newRecords = 0;
  bool reachedEnd = false;  ///< the last record was read (nothing left for the next poll)
  bool restarted = false;   ///< the remembered record was gone or replaced
};
PollResult PollSel();
/// PollSel, the catch-up state, and the position saved to "event.idx".
PollResult PollAndSave();

/// What the poll does with a record it reports and with a critical
/// over-temperature event: HandleSELEntry and ShutdownGracefully, unless a test
/// records them instead.
struct PollActions {
  void (*report)(SELRECORDX* record, OEMPETDATA* petData);
  void (*shutdown)();
};
void SetPollActions(const PollActions& actions);
/// Restores HandleSELEntry and ShutdownGracefully.
void ResetPollActions();

/// One cycle of the event thread: a poll, then, when the SEL has been read to
/// its end and is nearly full, a clear (the position starts over).
void RunEventCycle();

/// Platforms on which the daemon sends the traps itself even when the BMC is
/// set to send its own alerts.
bool IsSelfAlertingModel(const char* modelName);

}  // namespace mgmt::selwatch

#endif
