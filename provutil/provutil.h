/* Shell and text utilities shared by the daemon and the inventory providers.
 *
 * The system learns about the machine by running ordinary commands with their
 * output sent into a temporary file in the working directory, and by searching
 * text files line by line. These are the small functions that do it. They keep
 * the plain C interface their callers were written against; absolute file names
 * are resolved through the installation root (MGMTAGENT_ROOT), relative ones stay
 * in the working directory.
 *
 * Text files are matched in pieces of at most 127 characters: a longer line is
 * seen as several pieces, each counted and matched as a line of its own.
 */
#ifndef MGMT_PROVUTIL_PROVUTIL_H
#define MGMT_PROVUTIL_PROVUTIL_H

#if defined(__GNUC__)
#define PROVUTIL_API __attribute__((visibility("default")))
#else
#define PROVUTIL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Longest command line (command, " >", output file name) that system_out runs. */
#define PROVUTIL_MAX_COMMAND_LINE 263

/**
 * Writes a fresh temporary file name, `prefix` followed by a process-wide counter
 * in decimal (first 111), into `dest` of `size` bytes. The name has no directory.
 * Safe to call from several threads: every call takes its own number.
 * @return 1, or -1 when an argument is null or the name does not fit `size`
 *         (then `dest` is empty).
 */
PROVUTIL_API int createTmpFileName(char* dest, const char* prefix, int size);

/**
 * Runs `command` through the shell with its standard output sent to `outfile`,
 * exactly as the shell line "<command> ><outfile>" would, and waits for it. The
 * output file is opened here, never through a symbolic link or onto anything but
 * a plain file with a single name, so a link planted under the name cannot
 * redirect the output elsewhere.
 * @return 0 once the command ran (its exit status is not reported), or -1 without
 *         running anything when an argument is null, the command line would be
 *         longer than PROVUTIL_MAX_COMMAND_LINE characters, the output file cannot
 *         be opened safely, or the shell cannot be started.
 */
PROVUTIL_API int system_out(const char* command, const char* outfile);

/** Cuts trailing characters that are not printable (line ends, tabs, controls)
 *  from `text`. Blanks are printable and stay. A null text is ignored. */
PROVUTIL_API void trim_str(char* text);

/**
 * Counts the lines of `file` that contain `pattern` (mode 0) or that do not
 * contain it (any other mode).
 * @return the count, or -1 when an argument is null or the file cannot be opened.
 */
PROVUTIL_API int n_grep(const char* file, const char* pattern, int mode);

/**
 * Copies the n-th line of `file` that contains `pattern` (counting from 1; 0 is
 * taken as 1) into `dest` of `size` bytes, cut to size-1 characters and trimmed
 * with trim_str.
 * @return `dest`, or null when an argument is null, `size` < 1, `n` < 0, the file
 *         cannot be opened, or fewer than n lines match. When the file was opened
 *         or `n` was refused, `dest` is left empty.
 */
PROVUTIL_API char* s_grep(const char* file, const char* pattern, int n, char* dest, int size);

/**
 * Counts the entries of directory `dir` (other than "." and "..") whose names
 * contain `pattern` (mode 0) or do not contain it (any other mode).
 * @return the count, or -1 when an argument is null or the directory cannot be read.
 */
PROVUTIL_API int n_ls_grep(const char* dir, const char* pattern, int mode);

/**
 * Reads the text of `path` into `buf` of `size` bytes, NUL-terminated and cut to
 * size-1 bytes, line ends included as they are in the file.
 * @return 1 when the file was read (also when it is empty), 0 when an argument is
 *         unusable or the file cannot be read (then `buf` is empty).
 */
PROVUTIL_API int s_cat(const char* path, char* buf, int size);

/**
 * Appends the local UTC offset that ends a CIM datetime at `text`: a sign and
 * three digits of minutes, such as "+480", "-300" or "+330", NUL-terminated,
 * taking at most `room` bytes (5 are needed). The offset is the one in force now
 * under the process's time zone (TZ).
 * @return 0, or -1 when `text` is null, the room is too small or the offset has
 *         no three-digit form (then `text` is empty when room > 0).
 */
PROVUTIL_API int getTimeZone(char* text, int room);

#ifdef __cplusplus
}
#endif

#endif
