// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The front-end tests' scripted prompts, files and profile.
#include "test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <fstream>

#include "windowing/profile.h"

namespace testing_support {

ScriptedPrompts::ScriptedPrompts() : previous_(windowing::set_prompts(this)) {}

ScriptedPrompts::~ScriptedPrompts() {
    windowing::set_prompts(previous_);
}

void ScriptedPrompts::message_box(QWidget* /*owner*/, const QString& text) {
    messages.push_back(text);
}

std::optional<QString> ScriptedPrompts::file_dialog(const windowing::FileRequest& request) {
    requests.push_back(request);
    if (answers.empty()) {
        ADD_FAILURE() << "a file dialog opened that the test did not expect";
        return std::nullopt;
    }
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScratchFolder::file(const char* name) const {
    return QString::fromStdString((path() / name).string());
}

void write_bytes(const QString& path, const std::vector<std::uint8_t>& bytes) {
    quillon_test::write_bytes(path.toStdString(), bytes);
}

std::vector<std::uint8_t> image_with_sum(std::size_t size, unsigned sum) {
    std::vector<std::uint8_t> bytes(size, 0);
    for (auto& byte : bytes) {
        const unsigned take = std::min(sum, 255u);
        byte = static_cast<std::uint8_t>(take);
        sum -= take;
    }
    return bytes;
}

void remove_profile() {
    QFile::remove(windowing::profile_path());
}

void write_profile(const std::string& text) {
    std::filesystem::path path = windowing::profile_path().toStdString();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::optional<QString> profile_value(const char* key) {
    const QSettings settings(windowing::profile_path(), QSettings::IniFormat);
    const QVariant value = settings.value(QStringLiteral("section/") + QLatin1String(key));
    if (!value.isValid()) {
        return std::nullopt;
    }
    return value.toString();
}

}  // namespace testing_support
