#pragma once
// The engine's error numbers (ErrorNumber). 0 means no error.
#include <QString>
#include <stdexcept>

namespace engine {

enum class Error : int {
    None = 0,
    NoPicture = 1,        // the operation needs a picture and there is none
    FileMissing = 2,      // the file does not exist
    FileUnreadable = 3,   // the file exists but cannot be read
    UnknownFormat = 4,    // the content is no picture format the engine knows
    Damaged = 5,          // the content is damaged, truncated or inconsistent
    TooLarge = 6,         // over 65,535 pixels on a side or 1 GiB of pixel data
    WriteFailed = 7,      // the file could not be written
    ClipboardEmpty = 8,   // no picture on the clipboard
    BadArgument = 9,      // an argument out of range (unknown depth code, empty area...)
    Unsupported = 10,     // a valid file using a feature the engine does not handle
    OutOfMemory = 11,     // an allocation failed
    BadHandle = 12,       // a picture handle that names no picture
    NothingToUndo = 13,   // UndoLastEdit with no edit to take back
    Cancelled = 14,       // the user cancelled a dialog
};

// The highest error number, for tables and tests.
constexpr int kLastError = int(Error::Cancelled);

// A short Japanese description of the error, for messages.
QString errorText(Error e);

// Whether the error is a real failure of an operation (out of memory, a size
// limit, a file that could not be written or read, a conversion that could
// not be done) rather than "nothing to do" or a call without a picture.
bool isFailure(Error e);

// A real failure met by a caller that cannot go on: carries the engine's reason
// up to the one place that reports it and puts things back as they were.
class Failure : public std::runtime_error {
public:
    explicit Failure(Error e);
    Error error() const { return error_; }

private:
    Error error_;
};

}  // namespace engine
