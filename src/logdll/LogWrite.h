#pragma once

// The one function of the task-log library.
//
// Appends `text`, unchanged, to the file at `logFilePath` (made with mode 0644
// minus the umask when missing). The text is in the file when the call
// returns, so a crash right after it loses nothing. A null or empty text or
// path does nothing; a file that cannot be opened or written is dropped
// silently. Calls from several threads are serialised.
//
// The file stays open between calls and is reopened when the path changes or
// the open file has been deleted; it is closed when the library is unloaded.
extern "C" __attribute__((visibility("default"))) void LogWrite(const char* text,
                                                                const char* logFilePath);
