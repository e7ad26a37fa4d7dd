// Numbered run-time errors. Their classic descriptions show up in log lines and message boxes,
// so every failing platform call is reported as one of these rather than as a raw OS code.
#pragma once

#include <stdexcept>
#include <string>

namespace updexar {

enum ErrorNumber : int {
    ErrInvalidCall = 5,
    ErrOverflow = 6,
    ErrOutOfMemory = 7,
    ErrSubscript = 9,
    ErrTypeMismatch = 13,
    ErrBadFileNameOrNumber = 52,
    ErrFileNotFound = 53,
    ErrBadFileMode = 54,
    ErrFileAlreadyOpen = 55,
    ErrDeviceIo = 57,
    ErrFileExists = 58,
    ErrDiskFull = 61,
    ErrInputPastEnd = 62,
    ErrTooManyFiles = 67,
    ErrDeviceUnavailable = 68,
    ErrPermissionDenied = 70,
    ErrDiskNotReady = 71,
    ErrRenameAcrossDisks = 74,
    ErrPathFileAccess = 75,
    ErrPathNotFound = 76,
    ErrObjectNotSet = 91,
    ErrObjectAlreadyLoaded = 360,
    ErrCantUnloadDesignControl = 362,
    ErrInvalidPropertyValue = 380,
    ErrInvalidPropertyArrayIndex = 381,
    ErrFormAlreadyDisplayed = 400,
    ErrCantCreateObject = 429,
    // The file system keeps no access rules of its own (a NAS or Samba share without Windows
    // ACLs): a file meant to be private cannot be.
    ErrNoAccessRules = 10001,
    // A database driver's failure, numbered as the data access objects numbered it; its
    // description is the driver's own message.
    ErrDatabase = -2147467259,
};

// The classic description of an error number; "Application-defined or object-defined error"
// for numbers without one of their own.
std::string ErrorDescription(int number);

// A run-time error as the application's handlers see it: a number and its description.
class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(int number);
    RuntimeError(int number, const std::string& description);
    int Number() const { return number_; }
    const std::string& Description() const { return description_; }

private:
    int number_;
    std::string description_;
};

}  // namespace updexar
