#include "windowing/system_menu.h"

#include "windowing/command_ids.h"

namespace windowing {

SystemMenu::SystemMenu() : entries_{{SC_CLOSE, QStringLiteral("Close")}} {}

void SystemMenu::AppendSeparator() {
    entries_.push_back({0, {}});
}

void SystemMenu::AppendItem(unsigned id, const QString& text) {
    entries_.push_back({id, text});
}

}  // namespace windowing
