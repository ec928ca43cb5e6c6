#pragma once

#include <stdexcept>
#include <string>

// One exception class per kind of failure, so that the e-mail form can tell
// them apart and show their texts.
class EMailError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A socket or numbered component error; the text comes from the string table.
class ESocketError : public EMailError {
public:
    ESocketError(const std::string& text, int code) : EMailError(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

inline const char* const kTimedOutText = "Operation timed out";
inline const char* const kCanceledText = "Operation has been canceled";

class ETimedOutError : public EMailError {
public:
    ETimedOutError() : EMailError(kTimedOutText) {}
};

class ECanceledError : public EMailError {
public:
    ECanceledError() : EMailError(kCanceledText) {}
};

// The server refused a command; the text is its last reply line.
class EServerError : public EMailError {
public:
    using EMailError::EMailError;
};

class EResolverError : public EMailError {
public:
    using EMailError::EMailError;
};

class EMessageError : public EMailError {
public:
    using EMailError::EMailError;
};

class EHttpException : public EMailError {
public:
    EHttpException(const std::string& text, int code) : EMailError(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};
