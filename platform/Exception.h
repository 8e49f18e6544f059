#pragma once

#include <QString>

#include <stdexcept>

// The one error type of the system. Every layer raises it with a message a user can act on
// (what failed, and which file, table or value); only the application object's guard catches it.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString &message);

    QString Message() const { return message_; }

private:
    QString message_;
};

// A failure of the database engine or of the files behind it.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A failure of the settings store (the registry on Windows).
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};
