#include "description/DescriptionParser.h"

#include "description/LayoutScanner.h"
#include "description/ValueList.h"
#include "text/WholeFile.h"

#include <algorithm>
#include <array>
#include <optional>
#include <sstream>

namespace morvik {

namespace {

constexpr std::string_view kEndWord = "<END>";
constexpr std::string_view kNoneWord = "<none>";
constexpr std::string_view kEnumeratedType = "FLAG";
constexpr std::string_view kInstanceMark = "[inst]";

constexpr std::string_view kClassLine = "Class \t%d \tinstance = %d \tstart = %d \tend = %d\n";
constexpr std::string_view kDefinedValuesHeader = "\t===== Defined Values =====  \n";
constexpr std::string_view kDefinedValueLine = "\t[%d]\t%s \n";
constexpr std::string_view kEnumerationHeader = "\t===== Enumeration =====  size :\t %d\n";
constexpr std::string_view kEnumerationLine = "\t[%02d]\t%s \n";

// Sizes travel in a 16-bit length field; anything larger cannot describe a real value.
constexpr std::int32_t kMaxValueSize = 0xFFFF;

using ClassTable = std::array<ClassEntry, kClassLineCount>;

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::size_t at = text.find(from);
    if (at == std::string::npos) {
        return;
    }
    // Every row of every instance goes through here: same-length replacements are plain
    // copies.
    if (from.size() == to.size()) {
        do {
            std::copy(to.begin(), to.end(), text.begin() + static_cast<std::ptrdiff_t>(at));
            at = text.find(from, at + to.size());
        } while (at != std::string::npos);
        return;
    }
    do {
        text.replace(at, from.size(), to);
        at = text.find(from, at + to.size());
    } while (at != std::string::npos);
}

// Files write a blank as "_" and an empty text as "<none>".
void assignToken(std::string& field, std::string_view token) {
    if (token == kNoneWord) {
        field.clear();
        return;
    }
    field.assign(token);
    if (token.find('_') != std::string_view::npos) {
        std::replace(field.begin(), field.end(), '_', ' ');
    }
}

std::int32_t sizeFromText(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == '_') { // a blank, as files write it
        ++at;
    }
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        if (text[at] == '-') {
            return 0;
        }
        ++at;
    }
    std::int64_t size = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        size = std::min<std::int64_t>(size * 10 + (text[at] - '0'), kMaxValueSize);
    }
    return static_cast<std::int32_t>(size);
}

// The group a class text belongs to: its part before the first "/" that is not its first
// character, the instance mark read as instance 1.
std::string groupNameOf(const std::string& testedText) {
    const std::size_t slash = testedText.size() > 1 ? testedText.find('/', 1) : std::string::npos;
    return slash == std::string::npos ? testedText : testedText.substr(0, slash);
}

// One parse: reads the parameter part and produces the rows of every class in use with
// their class groups. Rows are written over the slot's earlier rows, so that parsing a slot
// again reuses their storage.
class DescriptionWalk {
public:
    explicit DescriptionWalk(LayoutScanner& input, DescriptionSlot& slot)
        : input_(input), slot_(slot), rows_(slot.editRows()) {}

    void walk(const ClassTable& classes) {
        if (classes[0].lastRow == -1) {
            return;
        }
        rows_.reserve(static_cast<std::size_t>(announcedRows(classes)));
        // Each step walks the next class. A class that does not begin where the rows stand
        // means the class table does not add up; the walk stops there rather than reading
        // entries into rows that the table does not describe.
        for (std::size_t next = 0; next < classes.size(); ++next) {
            const ClassEntry& entry = classes[next];
            if (entry.firstRow != rowCount()) {
                return;
            }
            walkClass(entry);
            if (stopped_ || next + 1 == classes.size() || classes[next + 1].lastRow == -1) {
                return;
            }
        }
    }

    // Rows the class table promises, within the row limit: room for exactly these is made at
    // once, so that a description holds no spare rows.
    static std::int64_t announcedRows(const ClassTable& classes) {
        std::int64_t rows = 0;
        for (const ClassEntry& entry : classes) {
            if (entry.lastRow == -1) {
                break;
            }
            if (entry.instanceCount > 0 && entry.lastRow >= entry.firstRow) {
                rows += std::int64_t{entry.instanceCount} *
                        (std::int64_t{entry.lastRow} - entry.firstRow + 1);
            }
            if (rows >= kMaxParameterRows) {
                return kMaxParameterRows;
            }
        }
        return rows;
    }

    // Drops what an earlier parse left beyond the new last row.
    void finish() { rows_.resize(static_cast<std::size_t>(produced_)); }
    int rowCount() const { return produced_; }

private:
    void walkClass(const ClassEntry& entry) {
        groupName_.clear();
        if (entry.instanceCount < 1 || entry.lastRow < entry.firstRow) {
            return;
        }
        const std::int64_t entries = static_cast<std::int64_t>(entry.lastRow) - entry.firstRow + 1;
        const bool severalInstances = entry.instanceCount > 1;
        for (int instance = 1; instance <= entry.instanceCount && !stopped_; ++instance) {
            for (std::int64_t source = 0; source < entries; ++source) {
                if (rowCount() >= kMaxParameterRows) {
                    stopped_ = true;
                    break;
                }
                const bool produced =
                    instance == 1 ? readEntry() : copyEntry(entry.firstRow + source);
                if (!produced) {
                    stopped_ = true;
                    break;
                }
                placeInstance(rows_[static_cast<std::size_t>(produced_)], instance,
                              severalInstances);
                addRow(instance == 1 && severalInstances);
            }
        }
        if (severalInstances) {
            finishFirstInstance(entry.firstRow,
                                std::min<std::int64_t>(entry.firstRow + entries, rowCount()));
        }
    }

    // The row about to be produced, reusing an earlier parse's row where there is one.
    ParameterRow& nextRow() {
        const auto index = static_cast<std::size_t>(produced_);
        if (index >= rows_.size()) {
            rows_.emplace_back();
        }
        return rows_[index];
    }

    // The seven tokens of an entry and its blocks; false at "<END>" or at the end of the text.
    bool readEntry() {
        std::array<std::string_view, 7> tokens;
        for (std::string_view& token : tokens) {
            if (!input_.token(token) || token == kEndWord) {
                return false;
            }
        }
        ParameterRow& row = nextRow();
        assignToken(row.address, tokens[0]);
        assignToken(row.typeName, tokens[1]);
        assignToken(row.className, tokens[2]);
        assignToken(row.parameterName, tokens[3]);
        assignToken(row.access, tokens[4]);
        row.size = tokens[5] == kNoneWord ? 0 : sizeFromText(tokens[5]);
        assignToken(row.unit, tokens[6]);
        row.accessKind = accessKindFromWord(row.access);

        definedValues_.clear();
        enumeration_.clear();
        copiedFrom_ = -1;
        const LayoutScanner::Result count = input_.scan("%d\t");
        const std::int32_t definedCount = count.complete ? count.numbers[0] : 0;
        if (definedCount > 0) {
            input_.scan(kDefinedValuesHeader);
            readValueLines(definedCount, kDefinedValueLine, definedValues_);
        }
        if (tokens[1] == kEnumeratedType) {
            const LayoutScanner::Result header = input_.scan(kEnumerationHeader);
            const std::int32_t entries = header.complete ? header.numbers[0] : 0;
            readValueLines(entries, kEnumerationLine, enumeration_);
        }
        return true;
    }

    // Lines beyond the list's capacity are read and dropped so that the entries after them
    // stay in step. A line that matches nothing ends the block: the ones after it could not
    // match either.
    void readValueLines(std::int32_t count, std::string_view layout, ValueList& values) {
        for (std::int32_t line = 0; line < count; ++line) {
            const std::size_t before = input_.position();
            const LayoutScanner::Result read = input_.scan(layout);
            if (read.complete) {
                std::string name;
                assignToken(name, read.tokens[0]);
                values.add(std::move(name), read.numbers[0]);
            }
            if (input_.position() == before || input_.atEnd()) {
                return;
            }
        }
    }

    bool copyEntry(std::int64_t source) {
        if (source < 0 || source >= rowCount()) {
            return false;
        }
        const int index = static_cast<int>(source);
        // The target first: making room for it may move the rows.
        ParameterRow& target = nextRow();
        target = rows_[static_cast<std::size_t>(index)];
        // The value lists are copied straight from the source row when the row is added.
        copiedFrom_ = index;
        return true;
    }

    // The first instance of a class with several instances keeps its marks until the class
    // is finished: later instances copy them from it.
    void placeInstance(ParameterRow& row, int instance, bool severalInstances) {
        if (severalInstances && instance == 1) {
            return;
        }
        if (instance != numberedInstance_) {
            numberedInstance_ = instance;
            instanceNumber_ = std::to_string(instance);
            dottedInstance_ = "." + instanceNumber_;
        }
        replaceAll(row.address, ".0", dottedInstance_);
        replaceInstanceMark(row.className, classTextMemo_);
    }

    // Rows of a class mostly share their class text: the text with the instance number in
    // place is remembered rather than made again for every row.
    struct InstanceText {
        std::string source;
        std::string result;
        int instance = 0;
    };

    void replaceInstanceMark(std::string& className, InstanceText& memo) {
        if (memo.instance == numberedInstance_ && memo.source == className) {
            className.assign(memo.result);
            return;
        }
        memo.source.assign(className);
        replaceAll(className, kInstanceMark, instanceNumber_);
        memo.result.assign(className);
        memo.instance = numberedInstance_;
    }

    void addRow(bool holdsInstanceMark) {
        const int index = produced_;
        const ParameterRow& row = rows_[static_cast<std::size_t>(index)];
        if (holdsInstanceMark) {
            // Judged as instance 1 shows it, while the row itself keeps its mark.
            testedText_.assign(row.className);
            numberedInstance_ = 1;
            instanceNumber_ = "1";
            dottedInstance_ = ".1";
            replaceInstanceMark(testedText_, testedTextMemo_);
            applyGroupRule(testedText_, index);
        } else {
            applyGroupRule(row.className, index);
        }
        // A copied row came with the lists of the row it repeats, shared rather than copied.
        if (copiedFrom_ < 0) {
            ParameterRow& filled = rows_[static_cast<std::size_t>(index)];
            filled.definedValues = definedValues_;
            filled.enumeration = enumeration_;
        }
        ++produced_;
    }

    // Rows of one class whose class text shares the group name stay in the group; the group
    // name is judged on the text as instance 1 shows it, so that "Port_[inst]/Speed" and
    // "Port_[inst]/Parity" of the first instance form one group.
    void applyGroupRule(const std::string& testedText, int index) {
        if (!groupName_.empty() && testedText.find(groupName_) != std::string::npos) {
            return;
        }
        groupName_ = groupNameOf(testedText);
        slot_.appendGroup(groupName_, index);
    }

    void finishFirstInstance(std::int64_t first, std::int64_t end) {
        for (std::int64_t at = std::max<std::int64_t>(first, 0); at < end; ++at) {
            const int index = static_cast<int>(at);
            ParameterRow& row = rows_[static_cast<std::size_t>(index)];
            replaceAll(row.address, ".0", ".1");
            replaceAll(row.className, kInstanceMark, "1");
        }
    }

    LayoutScanner& input_;
    DescriptionSlot& slot_;
    std::vector<ParameterRow>& rows_;
    int produced_ = 0;
    ValueList definedValues_;
    ValueList enumeration_;
    int copiedFrom_ = -1; // the row an instance row repeats, or -1 for a row read from the file
    std::string groupName_;
    std::string testedText_;
    int numberedInstance_ = 0; // the instance that instanceNumber_ and dottedInstance_ name
    std::string instanceNumber_;
    std::string dottedInstance_;
    InstanceText classTextMemo_;
    InstanceText testedTextMemo_;
    bool stopped_ = false;
};

ClassTable readClassTable(LayoutScanner& input) {
    ClassTable classes;
    for (ClassEntry& entry : classes) {
        const LayoutScanner::Result line = input.scan(kClassLine);
        if (line.conversions >= 2) {
            entry.instanceCount = line.numbers[1];
        }
        if (line.conversions >= 3) {
            entry.firstRow = line.numbers[2];
        }
        if (line.conversions >= 4) {
            entry.lastRow = line.numbers[3];
        }
    }
    return classes;
}

DescriptionParse refuse(DescriptionCache& cache, std::string problem) {
    cache.setCurrentSlot(0);
    return DescriptionParse{-1, std::move(problem)};
}

DescriptionParse parseOpened(std::string_view text, int productCode, int major, int minor,
                             DescriptionCache& cache) {
    if (!DescriptionCache::inRange(productCode, major, minor)) {
        std::ostringstream message;
        message << "Unsupported product code or version: " << productCode << ", " << major << '.'
                << minor << " !";
        return refuse(cache, message.str());
    }
    const int slot = cache.slotFor(productCode, major, minor);
    if (slot < 0) {
        return refuse(cache, "Too many different descriptions in use! Restart the program to "
                             "read units of another product or version.");
    }
    cache.setCurrentSlot(slot);

    LayoutScanner input(text);
    input.scan("<version>");
    for (int token = 0; token < 3; ++token) {
        input.scan("%s\t");
    }
    input.scan("<common>");
    const ClassTable classes = readClassTable(input);
    input.scan("<parameters>");

    DescriptionSlot& description = cache.slot(slot);
    description.clearGroups();
    DescriptionWalk walk(input, description);
    walk.walk(classes);
    walk.finish();
    description.setGroupsEnd(walk.rowCount());
    return DescriptionParse{slot, {}};
}

} // namespace

DescriptionParse parseDescription(const std::string& path, int productCode, int major, int minor,
                                  DescriptionCache& cache) {
    const std::optional<std::string> text = readWholeFile(path);
    if (!text) {
        return refuse(cache, "Can't find configuration file! \n" + path);
    }
    return parseOpened(*text, productCode, major, minor, cache);
}

DescriptionParse parseDescriptionText(std::string_view text, int productCode, int major, int minor,
                                      DescriptionCache& cache) {
    return parseOpened(text, productCode, major, minor, cache);
}

} // namespace morvik
