#include "common/Exception.h"

#include <utility>

namespace Veltrio {
namespace Common {

Exception::Exception(std::string message) : message(std::move(message)) {}

const char* Exception::what() const noexcept { return message.c_str(); }

std::string Exception::getMsg() const { return message; }

ExceptionWithExtraInfo::ExceptionWithExtraInfo(std::string message, std::string extraInfo)
    : Exception(std::move(message)), extraInfo(std::move(extraInfo)) {
    composed = this->message + ": " + this->extraInfo;
}

const char* ExceptionWithExtraInfo::what() const noexcept { return composed.c_str(); }

std::string ExceptionWithExtraInfo::getMsg() const { return composed; }

ProgrammingException::ProgrammingException(const std::string& extraInfo)
    : ExceptionWithExtraInfo("Programming Exception *MUST FIX*", extraInfo) {}

ConversionException::ConversionException(const std::string& extraInfo)
    : ExceptionWithExtraInfo("Conversion error", extraInfo) {}

} // namespace Common
} // namespace Veltrio
