#include "posix/vek_native_options.h"

#include <charconv>
#include <fstream>

#include "platform/strings.h"
#include "core/product_table.h"

namespace updexar::posix {
namespace {

bool ParseNumber(std::string_view text, long max, long& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0 && value <= max;
}

bool ParsePort(std::string_view text, NativeOptions& options, std::string& error) {
    long port = 0;
    if (!ParseNumber(Trim(text), 65535, port)) {
        error = "bad port: " + std::string(text);
        return false;
    }
    options.host.port = static_cast<uint16_t>(port);
    return true;
}

bool ReadSettingsFile(const std::string& path, NativeOptions& options, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!ApplySettingLine(line, options, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
    }
    return true;
}

}  // namespace

bool ApplySettingLine(std::string_view line, NativeOptions& options, std::string& error) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') return true;
    const size_t eq = trimmed.find('=');
    if (eq == std::string::npos) {
        error = "expected CODE=DIR or port=N: " + trimmed;
        return false;
    }
    const std::string name = Trim(std::string_view(trimmed).substr(0, eq));
    const std::string value = Trim(std::string_view(trimmed).substr(eq + 1));
    if (EqualsNoCase(name, "port")) return ParsePort(value, options, error);
    if (!ProductByCode(name)) {
        error = "not a product code: " + name;
        return false;
    }
    if (value.empty()) {
        error = "no data directory for " + name;
        return false;
    }
    options.dataByCode[name] = value;
    return true;
}

bool ParseNativeArguments(const std::vector<std::string>& args, NativeOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (i + 1 >= args.size()) {
            error = "missing value after " + flag;
            return false;
        }
        const std::string& value = args[++i];
        long number = 0;
        if (flag == "--port") {
            if (!ParsePort(value, options, error)) return false;
        } else if (flag == "--address") {
            options.host.address = value;
        } else if (flag == "--threads") {
            if (!ParseNumber(value, 64, number)) {
                error = "bad thread count: " + value;
                return false;
            }
            options.host.threads = static_cast<int>(number);
        } else if (flag == "--config") {
            if (!ReadSettingsFile(value, options, error)) return false;
        } else if (flag == "--data") {
            if (value.find('=') == std::string::npos || !ApplySettingLine(value, options, error)) {
                if (error.empty()) error = "expected CODE=DIR: " + value;
                return false;
            }
        } else {
            error = "unknown option " + flag;
            return false;
        }
    }
    return true;
}

}  // namespace updexar::posix
