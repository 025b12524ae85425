#pragma once
// The application's error report: the message of an error that no command
// handled, with a full stop added when its last character sorts after ".".
#include <string>
#include <string_view>

std::string ErrorReportText(std::string_view message);
