#pragma once
// Texts of the sending run that the interface-text table does not hold yet,
// in both languages; the active language's is used.

#include <QString>

namespace kirvane::sending {

enum class RunText {
    LogRefused,        // + nom " " prenom " " address " (" code " " text ")"
    LogInvalidAddress, // + nom " " prenom " " address " (" why ")"
    Summary,           // %1 sent, %2 refused, %3 excluded, %4 without an address, %5 invalid
    RefusedHeading,    // heading of the list of refused recipients
    SettingsNotSaved,  // + the system's reason
    CrashedRunSaved,   // %1: the name; asks whether to resume now
    HistoryNotWritten, // + the store's reason
};

[[nodiscard]] QString runText(RunText text);

} // namespace kirvane::sending
