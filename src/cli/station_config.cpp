#include "cli/station_config.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "image/regular_file.h"
#include "ledger/ledger.h"
#include "os/utf8_path.h"

namespace bw {
namespace {

std::string Trim(const std::string& text) {
    const auto space = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), space);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), space).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value after `=`: a quoted text as it stands, else up to a `#` that starts a comment.
bool ParseValue(const std::string& raw, std::string* value) {
    const std::string text = Trim(raw);
    if (!text.empty() && text.front() == '"') {
        const auto close = text.find('"', 1);
        if (close == std::string::npos) return false;
        const std::string rest = Trim(text.substr(close + 1));
        if (!rest.empty() && rest.front() != '#') return false;
        *value = text.substr(1, close - 1);
        return true;
    }
    std::size_t comment = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(text[i - 1])))) {
            comment = i;
            break;
        }
    }
    *value = Trim(text.substr(0, comment));
    return true;
}

// The keys of one option: its long names, or its positional name in lower case.
std::vector<std::string> KeysOf(const CLI::Option& option) {
    if (!option.get_lnames().empty()) return option.get_lnames();
    if (option.get_positional()) return {Lower(option.get_name())};
    return {};
}

// How the file names an option: its key, or its first long name.
std::string KeyName(const CLI::Option& option) {
    const std::vector<std::string> keys = KeysOf(option);
    return keys.empty() ? option.get_name() : keys.front();
}

struct KeyedOption {
    std::string key;
    CLI::Option* option = nullptr;
};

// Every option `command` takes on its command line, its own first, then those of the
// commands it falls through to; help, version and the config option itself are no keys.
std::vector<KeyedOption> KeyedOptions(CLI::App& command, const CLI::Option* self) {
    std::vector<KeyedOption> keyed;
    for (CLI::App* app = &command; app != nullptr; app = app->get_parent()) {
        for (CLI::Option* option : app->get_options()) {
            if (option == self || option == app->get_help_ptr() ||
                option == app->get_help_all_ptr() || option == app->get_version_ptr() ||
                !option->get_configurable()) {
                continue;
            }
            for (const std::string& key : KeysOf(*option)) {
                const bool taken = std::any_of(keyed.begin(), keyed.end(),
                                               [&](const KeyedOption& k) { return k.key == key; });
                if (!taken) keyed.push_back({key, option});
            }
        }
        if (!app->get_fallthrough()) break;
    }
    return keyed;
}

}  // namespace

StationConfig StationConfig::Read(const std::string& path) {
    // A FIFO would block the start, /dev/zero would be read for ever.
    if (const std::string problem = RegularFileProblem(path, false); !problem.empty())
        throw StationConfigError(path + ": " + problem);
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) throw StationConfigError(path + ": cannot open: " + std::strerror(errno));
    StationConfig config;
    config.path_ = path;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // UTF-8 BOM
        if (number == 1 && line.size() >= 2 &&
            ((line[0] == '\xFF' && line[1] == '\xFE') ||
             (line[0] == '\xFE' && line[1] == '\xFF'))) {
            throw StationConfigError(path + ": is UTF-16 text; save it as UTF-8");
        }
        if (line.find('\0') != std::string::npos) {
            throw StationConfigError(path + ":" + std::to_string(number) +
                                     ": holds a NUL byte: not a text file (UTF-16?); save it as"
                                     " UTF-8");
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();  // written on Windows
        const std::string text = Trim(line);
        if (text.empty() || text.front() == '#') continue;
        const auto equals = text.find('=');
        StationConfigEntry entry;
        entry.line = number;
        if (equals != std::string::npos) entry.key = Trim(text.substr(0, equals));
        if (entry.key.empty() || !ParseValue(text.substr(equals + 1), &entry.value)) {
            throw StationConfigError(path + ":" + std::to_string(number) +
                                     ": expected 'key = value', found '" + text + "'");
        }
        config.entries_.push_back(entry);
    }
    if (in.bad()) throw StationConfigError(path + ": read error");
    return config;
}

void StationConfig::apply(CLI::App& command, const CLI::Option* self) {
    const std::vector<KeyedOption> keyed = KeyedOptions(command, self);
    // Options the command line gave before any entry is applied: these keep their values.
    std::set<const CLI::Option*> given;
    for (const KeyedOption& k : keyed) {
        if (k.option->count() > 0) given.insert(k.option);
    }

    std::set<const CLI::Option*> seen;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const StationConfigEntry& entry = entries_[i];
        const std::string at = path_ + ":" + std::to_string(entry.line) + ": ";
        const auto found = std::find_if(keyed.begin(), keyed.end(),
                                        [&](const KeyedOption& k) { return k.key == entry.key; });
        if (found == keyed.end()) {
            std::string keys;
            for (const KeyedOption& k : keyed) keys += (keys.empty() ? "" : ", ") + k.key;
            throw StationConfigError(at + "unknown key '" + entry.key + "' (keys: " + keys + ")");
        }
        CLI::Option& option = *found->option;
        // A key is given once, unless its option takes a list of values.
        if (!seen.insert(&option).second && option.get_items_expected_max() <= 1) {
            throw StationConfigError(at + "'" + entry.key + "' is given a second time");
        }
        if (given.count(&option) > 0) continue;

        std::string value = entry.value;
        // A flag's value is true or false (yes/no, on/off, 1/0); empty means true.
        if (option.get_items_expected_min() == 0) value = option.get_flag_value(entry.key, value);
        if (value.empty() && option.get_items_expected_min() > 0) {
            throw StationConfigError(at + "'" + entry.key + "' has no value");
        }
        value = resolvePath(entry.key, option, value);
        try {
            option.add_result(value);
            option.run_callback();
        } catch (const CLI::Error& error) {
            throw StationConfigError(at + entry.key + " = " + entry.value + ": " + error.what());
        }
        applied_.push_back(i);
    }
    // What the command line refuses of two options together, a file refuses too (CLI11
    // checks `needs` and `excludes` only while parsing the command line).
    for (const std::size_t i : applied_) {
        const StationConfigEntry& entry = entries_[i];
        const auto found = std::find_if(keyed.begin(), keyed.end(),
                                        [&](const KeyedOption& k) { return k.key == entry.key; });
        const CLI::Option& option = *found->option;
        const std::string at = path_ + ":" + std::to_string(entry.line) + ": ";
        for (const CLI::Option* needed : option.get_needs()) {
            if (needed->count() == 0) {
                throw StationConfigError(at + entry.key + " needs " + KeyName(*needed));
            }
        }
        for (const CLI::Option* excluded : option.get_excludes()) {
            if (excluded->count() > 0) {
                throw StationConfigError(at + entry.key + " cannot go with " + KeyName(*excluded));
            }
        }
    }
}

std::string StationConfig::resolvePath(const std::string& key, const CLI::Option& option,
                                       const std::string& value) const {
    const bool path = key == "image" || option.get_type_name() == "FILE" ||
                      (key == "ledger" && ledger::NamesLedgerFile(value));
    const std::filesystem::path given = PathFromUtf8(value);
    if (!path || value.empty() || !given.is_relative()) return value;
    // A service or a shortcut starts in another folder than the one the file was written for.
    return Utf8FromPath(PathFromUtf8(path_).parent_path() / given);
}

std::string StationConfig::where(const std::string& key) const {
    for (const std::size_t i : applied_) {
        if (entries_[i].key == key) return path_ + ":" + std::to_string(entries_[i].line) + ": ";
    }
    return {};
}

std::string StationConfig::locate(const std::string& message) const {
    if (message.rfind("--", 0) != 0) return message;
    const auto colon = message.find(':');
    if (colon == std::string::npos) return message;
    return where(message.substr(2, colon - 2)) + message;
}

}  // namespace bw
