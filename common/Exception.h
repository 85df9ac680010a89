#pragma once
// Root of every exception of radiocfg. what() is the text the user finally
// sees; an exception with extra information reads "<message>: <extra>".

#include <exception>
#include <string>

namespace Veltrio {
namespace Common {

class Exception : public std::exception {
public:
    explicit Exception(std::string message);
    ~Exception() override = default;
    const char* what() const noexcept override;
    virtual std::string getMsg() const;

protected:
    std::string message;
};

class ExceptionWithExtraInfo : public Exception {
public:
    ExceptionWithExtraInfo(std::string message, std::string extraInfo);
    // Valid for as long as the exception object lives: the composed text is
    // stored in the object.
    const char* what() const noexcept override;
    std::string getMsg() const override;

protected:
    std::string extraInfo;
    std::string composed;
};

// The program misused one of its own interfaces.
class ProgrammingException : public ExceptionWithExtraInfo {
public:
    explicit ProgrammingException(const std::string& extraInfo);
};

// A text did not hold the number a conversion function was asked for.
class ConversionException : public ExceptionWithExtraInfo {
public:
    explicit ConversionException(const std::string& extraInfo);
};

} // namespace Common
} // namespace Veltrio
