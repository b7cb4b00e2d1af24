// SEL commands and the SEL poll.
#include "ipmievt.h"

#include <strings.h>
#include <syslog.h>

#include <algorithm>
#include <cassert>
#include <cstring>

#include "base/bytes.h"
#include "bmcrequest.h"
#include "command.h"
#include "ipmipet.h"
#include "oemparser.h"
#include "runstate.h"

uint16_t g_wSELLastRecordID = 0;
uint32_t g_dwSELLastRecordTimestamp = 0;
uint32_t g_dwSELLastRecordFlag = 0;
bool bFirstPolling = true;
uint8_t bSELMaxTransferBytes = 0xFF;
uint16_t wReservationID = 0;
SELINFO g_selInfo{};

namespace mgmt::selwatch {
namespace {

constexpr uint8_t kGetSelInfo = 0x40;
constexpr uint8_t kGetSelAllocInfo = 0x41;
constexpr uint8_t kReserveSel = 0x42;
constexpr uint8_t kGetSelEntry = 0x43;
constexpr uint8_t kClearSel = 0x47;
constexpr uint8_t kWholeRecord = 0xFF;
/// Attempts of one request that the BMC answers "reservation cancelled"; a BMC
/// that keeps cancelling must not hold the event thread.
constexpr int kReservationAttempts = 4;
constexpr uint16_t kLastRecord = 0xFFFF;

}  // namespace

SelRead ReadSelEntry(uint16_t recordId, SELRECORD& record) {
  uint8_t bytes[sizeof(SELRECORD)] = {};
  size_t offset = 0;  // into the 16 record bytes
  bool haveNext = false;
  int reservationAttempts = 0;
  uint8_t ask = bSELMaxTransferBytes == kWholeRecord
                    ? kWholeRecord
                    : static_cast<uint8_t>(std::min<size_t>(bSELMaxTransferBytes, kSelEntryBytes));
  for (;;) {
    const uint8_t request[] = {
        static_cast<uint8_t>(wReservationID), static_cast<uint8_t>(wReservationID >> 8),
        static_cast<uint8_t>(recordId),       static_cast<uint8_t>(recordId >> 8),
        static_cast<uint8_t>(offset),         ask};
    const BmcAnswer answer = SendToBmc(kNetFnStorage, kGetSelEntry, request);
    if (!answer.answered) return SelRead::kFailed;
    if (answer.completionCode == kCcReservationCancelled) {
      if (++reservationAttempts >= kReservationAttempts) return SelRead::kFailed;
      wReservationID = ReserveRepository(kReserveSel);
      if (wReservationID == 0xFFFF) return SelRead::kFailed;
      continue;
    }
    if (answer.completionCode == kCcCannotReturnBytes) {
      const auto smaller = SmallerTransfer(ask, 8);
      if (!smaller) return SelRead::kFailed;
      bSELMaxTransferBytes = *smaller;
      ask = static_cast<uint8_t>(std::min<size_t>(*smaller, kSelEntryBytes - offset));
      continue;
    }
    if (answer.completionCode == kCcNotPresent) return SelRead::kNotPresent;
    if (answer.completionCode != 0) return SelRead::kFailed;

    // The answer: the next record's ID, then record bytes.
    if (answer.length < 2) return SelRead::kFailed;
    if (!haveNext) {
      bytes[0] = answer.data[0];
      bytes[1] = answer.data[1];
      haveNext = true;
    }
    const size_t wanted = ask == kWholeRecord ? kSelEntryBytes : ask;
    const size_t got = std::min(answer.length - 2, kSelEntryBytes - offset);
    // A chunk without record bytes would never finish the record; one shorter
    // than asked leaves a gap in it.
    if (got == 0 || got < std::min(wanted, kSelEntryBytes - offset)) return SelRead::kFailed;
    std::memcpy(bytes + 2 + offset, answer.data + 2, got);
    offset += got;
    if (offset >= kSelEntryBytes) break;
    ask = static_cast<uint8_t>(std::min<size_t>(bSELMaxTransferBytes, kSelEntryBytes - offset));
  }
  std::memcpy(&record, bytes, sizeof(record));
  return SelRead::kOk;
}

namespace {
PollActions g_actions{HandleSELEntry, ShutdownGracefully};
}  // namespace

void SetPollActions(const PollActions& actions) { g_actions = actions; }
void ResetPollActions() { g_actions = {HandleSELEntry, ShutdownGracefully}; }

bool IsSelfAlertingModel(const char* modelName) {
  return modelName != nullptr &&
         (strcasecmp(modelName, "corvid_hazel") == 0 || strcasecmp(modelName, "corvid_ivy") == 0);
}

namespace {

/// Hands one new record to interpretation, the plug-in and the temperature check.
void HandleNewRecord(const SELRECORD& record, bool mayShutDown) {
  OEMPETDATA petData{};
  SELRECORDX* extended = FormSELRecord4PET(const_cast<SELRECORD*>(&record), &petData);
  g_wSELLastRecordID = record.wRecordID;
  g_dwSELLastRecordTimestamp = record.dwTimestamp;

  if (g_ParserLibrary.hLibrary != nullptr && g_ParserLibrary.pfnParse != nullptr)
    g_ParserLibrary.pfnParse(extended, &petData);
  if (extended == nullptr) return;

  const EventSwitches switches = CurrentEventSwitches();
  if (!switches.bmcSendEvent || IsSelfAlertingModel(g_modelName))
    g_actions.report(extended, &petData);
  if (mayShutDown && IsTempHighEvent(extended) && IsNewlyHappendEvent(&extended->sel) &&
      switches.shutdownIfTempHigh) {
    syslog(LOG_CRIT, "critical over-temperature event (SEL record %u): powering the host off",
           static_cast<unsigned>(record.wRecordID));
    g_actions.shutdown();
  }
}

void ResetPosition() {
  g_wSELLastRecordID = 0;
  g_dwSELLastRecordTimestamp = 0;
  g_dwSELLastRecordFlag = 0;
}

}  // namespace

PollResult PollSel() {
  PollResult result;
  uint16_t current = g_wSELLastRecordID;
  // Only the remembered record is checked: when it is still there with its time
  // stamp, everything after it is new, also records logged in the same second.
  bool verifying = current != 0;
  while (current != kLastRecord && result.reads < kMaxReadsPerPoll && mainthread_running) {
    ++result.reads;
    SELRECORD record{};
    const SelRead read = ReadSelEntry(current, record);
    if (verifying) {
      verifying = false;
      if (read == SelRead::kFailed) return result;  // position kept for the next poll
      if (read == SelRead::kNotPresent || record.dwTimestamp != g_dwSELLastRecordTimestamp) {
        // Cleared or wrapped: the ID is gone, or now names another record. The
        // whole SEL is reported from its first record.
        ResetPosition();
        result.restarted = true;
        current = 0;
        continue;
      }
    } else if (read != SelRead::kOk) {
      // An empty SEL answers 0xCB for its first record: nothing to report.
      if (read == SelRead::kNotPresent && current == 0) result.reachedEnd = true;
      return result;
    } else {
      ++result.newRecords;
      HandleNewRecord(record, !bFirstPolling && !result.restarted);
    }
    // Ends at the last record, and also at an ID that cannot lead anywhere new
    // (0 is "the first record", the same ID would read the same record again).
    const uint16_t next = record.wNextRecordID;
    if (next == kLastRecord) {
      result.reachedEnd = true;
      break;
    }
    if (next == 0 || next == current) {
      // A broken chain: not read to the end, so the SEL is never cleared on it.
      syslog(LOG_ERR, "ERROR,SEL record %u names %u as the next record; poll ended",
             static_cast<unsigned>(current), static_cast<unsigned>(next));
      break;
    }
    current = next;
  }
  return result;
}

PollResult PollAndSave() {
  const PollResult poll = PollSel();
  // Records read while catching up (the first poll, or one that started over
  // from the first record) are old news and never power the host off. The
  // catch-up ends with the first poll that reads the SEL to its end.
  if (poll.reachedEnd) {
    bFirstPolling = false;
  } else if (poll.restarted) {
    bFirstPolling = true;
  }
  SaveSELLastRecord();
  return poll;
}

void RunEventCycle() {
  const PollResult poll = PollAndSave();

  // A nearly full SEL is cleared only once every record in it has been read.
  SELINFO info{};
  if (!poll.reachedEnd || !mainthread_running || GetSELInfo(&info) != 0) return;
  if (info.wFreeSpace >= kNearlyFullBytes) return;
  // A record logged after the poll found the end (while the last trap went
  // out, say) would be cleared unread: the last record read must still be the
  // last one in the SEL, otherwise the next cycle reads on and clears then.
  SELRECORD last{};
  if (g_wSELLastRecordID == 0 || ReadSelEntry(g_wSELLastRecordID, last) != SelRead::kOk ||
      last.wNextRecordID != kLastRecord)
    return;
  if (ClearSEL() == 0) {
    syslog(LOG_INFO, "SEL nearly full (%u bytes free): cleared after reading it",
           static_cast<unsigned>(info.wFreeSpace));
    ResetPosition();
    SaveSELLastRecord();
  }
}

}  // namespace mgmt::selwatch

using namespace mgmt::selwatch;

int GetSELInfo(SELINFO* selInfo) {
  assert(selInfo != nullptr && "_selInfo != __null");
  if (selInfo == nullptr) return -1;
  const BmcAnswer answer = SendToBmc(kNetFnStorage, kGetSelInfo, {});
  if (!answer.Ok() || answer.length < kSelInfoBytes) return -1;
  std::memcpy(selInfo, answer.data, kSelInfoBytes);
  return 0;
}

int GetSELAllocInfo(SELINFO* selInfo) {
  if (selInfo == nullptr) return -1;
  const BmcAnswer answer = SendToBmc(kNetFnStorage, kGetSelAllocInfo, {});
  if (!answer.Ok() || answer.length < kSelAllocInfoBytes) return -1;
  std::memcpy(reinterpret_cast<uint8_t*>(selInfo) + kSelInfoBytes, answer.data, kSelAllocInfoBytes);
  return 0;
}

int GetSELEntry(SELRECORD* selRecord, uint16_t recordId) {
  assert(selRecord != nullptr && "_pSelRecord != __null");
  if (selRecord == nullptr) return -1;
  SELRECORD record{};
  if (ReadSelEntry(recordId, record) != SelRead::kOk) return -1;
  *selRecord = record;
  return 0;
}

uint16_t ReserveRepository(uint8_t reserveCommand) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const BmcAnswer answer = SendToBmc(kNetFnStorage, reserveCommand, {});
    if (answer.Ok() && answer.length >= 2) return mgmt::base::GetLe16(answer.Data(), 0);
  }
  return 0xFFFF;
}

int ClearSEL() {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const uint16_t reservation = ReserveRepository(kReserveSel);
    if (reservation == 0xFFFF) return -1;
    wReservationID = reservation;
    const uint8_t request[] = {static_cast<uint8_t>(reservation),
                               static_cast<uint8_t>(reservation >> 8),
                               0x43,
                               0x4C,
                               0x52,
                               0xAA};
    const BmcAnswer answer = SendToBmc(kNetFnStorage, kClearSel, request);
    if (!answer.answered) return -1;
    if (answer.completionCode == kCcReservationCancelled) continue;
    return answer.completionCode == 0 ? 0 : -1;
  }
  return -1;
}

int InitSELInfo() {
  GetSELInfo(&g_selInfo);
  GetSELAllocInfo(&g_selInfo);
  LoadSELLastRecord();
  return 0;
}

int PollIPMIEvents() {
  PollAndSave();
  return 0;
}

int IsTempHighEvent(SELRECORDX* record) {
  if (record == nullptr) return 0;
  const SELRECORD& sel = record->sel;
  if ((sel.bEventDirType & 0x80) != 0 || sel.bSensorType != 0x01) return 0;
  const uint8_t type = sel.bEventDirType & 0x7F;
  const uint8_t offset = sel.bEventData[0] & 0x0F;
  if (type == 0x01) return offset == 0x09 || offset == 0x0B ? 1 : 0;
  if (type == 0x07) return offset == 0x05 || offset == 0x06 ? 1 : 0;
  return 0;
}

int IsNewlyHappendEvent(SELRECORD* /*record*/) { return 1; }

void ShutdownGracefully() {
  using std::chrono::seconds;
  RunCommand({"wall", "Temperature is too high, shutting down ... "}, seconds(30));
  RunCommand({"poweroff"}, seconds(120));
}
