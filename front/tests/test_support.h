/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Shared helpers of the front-end tests: scripted prompts, files and profile.
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "quillon_test/bytes.h"
#include "quillon_test/scratch_folder.h"
#include "windowing/prompts.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace testing_support {

// Records every message box and answers file dialogs from a script.
class ScriptedPrompts final : public windowing::Prompts {
public:
    ScriptedPrompts();
    ~ScriptedPrompts() override;
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    void message_box(QWidget* owner, const QString& text) override;
    std::optional<QString> file_dialog(const windowing::FileRequest& request) override;

    std::vector<QString> messages;
    std::vector<windowing::FileRequest> requests;
    std::deque<std::optional<QString>> answers;  // nullopt: the user cancels

private:
    windowing::Prompts* previous_;
};

using quillon_test::image_checksum;
using quillon_test::random_bytes;

// A fresh folder for each test, removed with it; the dialogs take its files' names
// as QStrings.
class ScratchFolder : public quillon_test::ScratchFolder {
public:
    ScratchFolder() : quillon_test::ScratchFolder("quillon-front") {}
    QString file(const char* name) const;
};

void write_bytes(const QString& path, const std::vector<std::uint8_t>& bytes);
// `size` bytes whose plain sum is `sum` (sum <= 255 * size).
std::vector<std::uint8_t> image_with_sum(std::size_t size, unsigned sum);

// The profile file: removed, written as raw text, or read back.
void remove_profile();
void write_profile(const std::string& text);
std::optional<QString> profile_value(const char* key);

// Runs `act` on the modal dialog (or popup menu) of type T as soon as it is up,
// polling the event loop that its own run drives; after about two seconds it
// gives up, reports it and closes what is open, so that a test cannot hang.
template <class T, class Act>
void when_up(Act act, int tries = 400) {
    QTimer::singleShot(5, [act, tries] {
        QWidget* up = QApplication::activePopupWidget();
        if (up == nullptr) {
            up = QApplication::activeModalWidget();
        }
        if (auto* widget = dynamic_cast<T*>(up)) {
            act(widget);
        } else if (tries == 0) {
            ADD_FAILURE() << "the expected dialog did not open";
            if (up != nullptr) {
                up->close();
            }
        } else {
            when_up<T>(act, tries - 1);
        }
    });
}

}  // namespace testing_support
