// Configuration files of the list's values, and Clear.
#include "config/ConfigurationFile.h"
#include "description/LoginParameters.h"
#include "parameters/ApplyConfiguration.h"
#include "parameters/IdentityValues.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/SessionInternal.h"
#include "stores/CredentialLog.h"
#include "stores/SafeFile.h"
#include "text/WholeFile.h"

#include <array>
#include <optional>
#include <utility>

namespace morvik {

using namespace internal;

namespace {

constexpr std::string_view kFileOpenError = "File Open Error";
constexpr std::string_view kFileNotMatch = "Saved file not match. Wrong product id & version.";

constexpr mode_t kPrivateFilePermissions = 0600;
constexpr mode_t kSharedFilePermissions = 0644;

// The product id and version that every unit shares; nothing (the user is told) otherwise.
std::optional<std::pair<std::string, std::string>>
sharedProduct(const std::vector<DeviceRecord>& units, Dialogs& dialogs) {
    if (units.empty()) {
        dialogs.showMessage(kNoSelectedDevice, kError);
        return std::nullopt;
    }
    auto productId = commonText(units, &DeviceRecord::productId);
    auto version = commonText(units, &DeviceRecord::version);
    if (!productId || !version) {
        dialogs.showMessage(kOtherDevices, kError);
        return std::nullopt;
    }
    return std::pair{std::move(*productId), std::move(*version)};
}

// The question before identity values load: which unit, which values, and what No does.
std::array<std::string, 3> identityQuestion(const std::vector<DeviceRecord>& units,
                                            const std::vector<IdentityChange>& changes) {
    constexpr std::size_t kValuesNamed = 5;
    std::string values;
    for (std::size_t i = 0; i < changes.size() && i < kValuesNamed; ++i) {
        values += (i == 0 ? "" : ", ") + changes[i].parameter + " " + changes[i].loaded;
    }
    if (changes.size() > kValuesNamed) {
        values += ", ...";
    }
    const std::string whose = units.size() == 1
                                  ? "Loading this file changes the identity of " +
                                        units.front().name + " (" + units.front().ip + "):"
                                  : "Loading this file gives all " + std::to_string(units.size()) +
                                        " units the same identity:";
    return {whose, values, "Load them too, to clone a unit? No keeps each unit's own. "};
}

} // namespace

std::optional<ParameterSession::ConfigurationText> ParameterSession::configurationText() {
    const std::vector<DeviceRecord> units = ports_.selection.selectedUnits();
    const auto shared = sharedProduct(units, ports_.dialogs);
    if (!shared) {
        return std::nullopt;
    }
    const auto& [productId, version] = *shared;
    productCode_ = productCodeOf(productId);

    // Every line to the real end of the list: hidden rows have an empty parameter text.
    const ParameterTable& table = ports_.table;
    std::vector<std::string> values;
    values.reserve(static_cast<std::size_t>(table.lineCount()));
    bool holdsLogin = false;
    for (int line = 0; line < table.lineCount(); ++line) {
        values.push_back(table.text(line, ParameterTable::ValueColumn));
        const ParameterRow* row = cache_.current().row(table.parameterOfLine(line));
        holdsLogin = holdsLogin || (row != nullptr && isLoginAddress(row->address));
    }
    return ConfigurationText{
        formatConfiguration(ConfigurationHeader{static_cast<int>(units.size()), productId, version},
                            values),
        holdsLogin};
}

bool ParameterSession::saveConfiguration(const std::string& path) {
    const auto text = configurationText();
    if (!text) {
        return false;
    }
    // A file with the units' login is kept as private as "pwd.ini".
    const FileWrite written = replaceOwnFile(
        path, text->content, text->holdsLogin ? kPrivateFilePermissions : kSharedFilePermissions);
    if (!written.written) {
        ports_.dialogs.showMessage(
            std::string(kFileOpenError) + "\n" + path + ": " + written.reason, kError);
        return false;
    }
    return true;
}

FileWrite ParameterSession::saveBackup(const std::string& folder, const std::string& stem) {
    const auto text = configurationText();
    if (!text) {
        return FileWrite{false, {}, "the selection was refused", 0};
    }
    // A backup holds everything a unit shows, and is never anyone else's to read.
    return createFileWithUniqueName(folder, stem, ".cnf", text->content, kPrivateFilePermissions);
}

bool ParameterSession::loadConfiguration(const std::string& path) {
    const auto text = readWholeFile(path);
    if (!text) {
        ports_.dialogs.showMessage(kFileOpenError, kError);
        return false;
    }
    const std::vector<DeviceRecord> units = ports_.selection.selectedUnits();
    const auto shared = sharedProduct(units, ports_.dialogs);
    if (!shared) {
        return false;
    }
    const auto& [productId, version] = *shared;
    productCode_ = productCodeOf(productId);
    ConfigurationContent content = parseConfiguration(*text);
    if (!content.header || content.header->productId != productId ||
        content.header->version != version) {
        ports_.dialogs.showMessage(kFileNotMatch, kError);
        return false;
    }
    std::vector<UnitIdentity> identities;
    for (const DeviceRecord& unit : units) {
        identities.push_back({unit.name, unit.ip});
    }
    // A file saved from another unit would otherwise give these units its name and address.
    const auto changes = identityChanges(content, ports_.table, identities);
    if (!changes.empty()) {
        const auto [line1, line2, line3] = identityQuestion(units, changes);
        if (!ports_.dialogs.confirmIdentityLoad(line1, line2, line3)) {
            content = withoutChanges(std::move(content), changes);
        }
    }
    applyConfiguration(content, ports_.table);
    return true;
}

void ParameterSession::clearCredentials() {
    operationLog_.reset(); // what it held is gone from the file
    loginsCollected_ = false;
    CredentialLog log(dataDirectory_);
    if (!log.clear().saved()) {
        ports_.dialogs.showMessage(log.path() + " could not be emptied: the login IDs and "
                                                "passwords it holds are still on disk.",
                                   kError);
    }
    ParameterTable& table = ports_.table;
    for (int line = 0; line < table.lineCount(); ++line) {
        table.setText(line, ParameterTable::ValueColumn, {});
    }
}

} // namespace morvik
