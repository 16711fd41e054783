#pragma once

#include "description/DescriptionParser.h"
#include "description/DeviceDescription.h"
#include "parameters/ClassFilter.h"
#include "parameters/DescriptionShown.h"
#include "parameters/ParameterTable.h"
#include "support/ScriptedDialogs.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace morvik::testing {

// Writes description files the way the product files are laid out, so that tests state only
// what matters to them.
struct ClassLine {
    int instances = 1;
    int first = 0;
    int last = -1;
};

struct EntryText {
    std::string address;
    std::string type = "int";
    std::string className = "Network/Setting";
    std::string parameter = "Value";
    std::string access = "R/W";
    std::string size = "2";
    std::string unit = "<none>";
    std::vector<std::pair<int, std::string>> definedValues = {};
    std::vector<std::pair<std::string, std::string>> enumeration = {}; // value as written, name
};

inline std::string classLinesText(const std::vector<ClassLine>& classes) {
    std::string text = "<common>\n";
    for (int index = 0; index < 10; ++index) {
        const ClassLine line = index < static_cast<int>(classes.size())
                                   ? classes[static_cast<std::size_t>(index)]
                                   : ClassLine{0, 0, -1};
        text += "Class \t" + std::to_string(index) +
                " \tinstance = " + std::to_string(line.instances) +
                " \tstart = " + std::to_string(line.first) +
                " \tend = " + std::to_string(line.last) + "\n";
    }
    return text;
}

inline std::string entryText(const EntryText& entry) {
    std::string text = entry.address + "\t" + entry.type + "\t" + entry.className + "\t" +
                       entry.parameter + "\t" + entry.access + "\t" + entry.size + "\t" +
                       entry.unit + "\t" + std::to_string(entry.definedValues.size()) + "\t\n";
    if (!entry.definedValues.empty()) {
        text += "\t===== Defined Values =====  \n";
        for (const auto& [value, name] : entry.definedValues) {
            text += "\t[" + std::to_string(value) + "]\t" + name + " \n";
        }
    }
    if (entry.type == "FLAG") {
        text += "\t===== Enumeration =====  size :\t " + std::to_string(entry.enumeration.size()) +
                "\n";
        for (const auto& [value, name] : entry.enumeration) {
            text += "\t[" + value + "]\t" + name + " \n";
        }
    }
    return text;
}

inline std::string descriptionText(const std::vector<ClassLine>& classes,
                                   const std::vector<EntryText>& entries, bool endWord = true) {
    std::string text = "<version>\nVela1\t1.2\t07\n" + classLinesText(classes) + "<parameters>\n";
    for (const EntryText& entry : entries) {
        text += entryText(entry);
    }
    if (endWord) {
        text += "<END>\n";
    }
    return text;
}

// `count` entries of one class, addresses "<group>.<n>.0".
inline std::vector<EntryText> numberedEntries(int count, int group = 1,
                                              const std::string& className = "Network/Setting") {
    std::vector<EntryText> entries;
    for (int index = 1; index <= count; ++index) {
        EntryText entry;
        entry.address = std::to_string(group) + "." + std::to_string(index) + ".0";
        entry.className = className;
        entry.parameter = "Value_" + std::to_string(index);
        entries.push_back(entry);
    }
    return entries;
}

// The worked example of the product documentation: two network rows and a two-port serial
// class.
inline std::string workedExampleText() {
    return descriptionText(
        {{1, 0, 1}, {2, 2, 2}},
        {{"1.1.0", "IP", "Network/Address", "IP_address", "R/W", "4", "<none>"},
         {"1.2.0", "unsigned_long", "Network/Timer", "Keep_alive", "R/W", "4", "sec", {{0, "Off"}}},
         {"3.1.0",
          "FLAG",
          "Serial/Port_[inst]",
          "Speed",
          "R/W",
          "1",
          "<none>",
          {},
          {{"00", "Off"}, {"01", "On"}}}});
}

// A parse and what the operations show of it: the list, the class filter and the messages.
struct ParseTargets {
    DescriptionCache cache;
    ParameterTable table;
    ClassFilterEntries filter;
    ScriptedDialogs dialogs;

    // 1 when parsed, -1 when refused.
    int shown(const DescriptionParse& parse) {
        return showParsedDescription(parse, cache, table, filter, dialogs) ? 1 : -1;
    }
    int parse(const std::string& text, int productCode = 7, int major = 1, int minor = 2) {
        return shown(parseDescriptionText(text, productCode, major, minor, cache));
    }
    int parseFile(const std::string& path, int productCode, int major, int minor) {
        return shown(parseDescription(path, productCode, major, minor, cache));
    }
    const DescriptionSlot& slot() const { return cache.current(); }
    const std::vector<ParameterRow>& rows() const { return cache.current().rows(); }
    std::vector<int> groups() const { return cache.current().groupStarts(); }
    // The cache slot whose description the list shows (-1: not the current one).
    int shownSlot() const {
        return &table.description() == &cache.current() ? cache.currentSlot() : -1;
    }
};

// A file removed when the test ends.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& name, const std::string& content)
        : path_(std::string(MORVIK_TEST_BINARY_DIR) + "/" + name) {
        if (std::FILE* file = std::fopen(path_.c_str(), "wb")) {
            std::fwrite(content.data(), 1, content.size(), file);
            std::fclose(file);
        }
    }
    ~TemporaryFile() { std::remove(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace morvik::testing
