#include "gnssmon/ErrorReport.h"

#include <nlohmann/json.hpp>

std::string ErrorReportLine(const std::string& message) {
    nlohmann::ordered_json error;
    error["class"] = "ERROR";
    error["message"] = message;
    // A path or a system's text that is not UTF-8 must not end the run.
    return error.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
