// The platform's exception tree. Every failure of the system is an exception
// derived from Exception and carries a fixed, user-readable message.
#pragma once

#include <exception>
#include <string>

namespace Kestrix::Exif {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& GetMessage() const noexcept { return FMessage; }

private:
    std::string FMessage;
};

// Streams
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    EReadError();
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    EWriteError();
    using EStreamError::EStreamError;
};
class EFileStreamError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
// "Cannot open file "%s". %s" with the path and the OS reason.
class EFOpenError : public EFileStreamError {
public:
    EFOpenError(const std::string& path, const std::string& reason);
};
// "Cannot create file "%s". %s" with the path and the OS reason.
class EFCreateError : public EFileStreamError {
public:
    EFCreateError(const std::string& path, const std::string& reason);
};

// General
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};
class EIntError : public Exception {
public:
    using Exception::Exception;
};
class ERangeError : public EIntError {
public:
    ERangeError();
    using EIntError::EIntError;
};
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
class EListError : public Exception {
public:
    // "List index out of bounds (%d)"
    explicit EListError(long long index);
    using Exception::Exception;
};
class EAssertionFailed : public Exception {
public:
    EAssertionFailed();
    using Exception::Exception;
};
class EArgumentException : public Exception {
public:
    using Exception::Exception;
};
// An object asked for an interface it does not implement: "Interface not supported".
class EIntfCastError : public Exception {
public:
    EIntfCastError();
    using Exception::Exception;
};

} // namespace Kestrix::Exif
