// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Dialog units from the dialog's font.
#include "windowing/dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <cmath>
#include <string_view>

namespace windowing {

namespace {
constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    char_width_ = metrics.horizontalAdvance(QString::fromLatin1(letters)) / letters.size();
    char_height_ = static_cast<int>(std::ceil(metrics.height()));
}

int DialogUnits::to_x(int units) const {
    return static_cast<int>(std::lround(units * char_width_ / 4.0));
}

int DialogUnits::to_y(int units) const {
    return static_cast<int>(std::lround(units * char_height_ / 8.0));
}

QRect DialogUnits::to_pixels(int x, int y, int width, int height) const {
    const int left = to_x(x);
    const int top = to_y(y);
    return {left, top, to_x(x + width) - left, to_y(y + height) - top};
}

QFont dialog_font(std::string_view family, int point_size) {
    const QString name = QString::fromUtf8(family.data(), static_cast<qsizetype>(family.size()));
    const bool fixed = name == QLatin1String("Courier New");
    QFont font(name);
    font.setPointSize(point_size);
    if (QFontInfo(font).family().compare(name, Qt::CaseInsensitive) != 0 ||
        (fixed && !QFontInfo(font).fixedPitch())) {
        font = QFontDatabase::systemFont(fixed ? QFontDatabase::FixedFont
                                               : QFontDatabase::GeneralFont);
        font.setPointSize(point_size);
    }
    return font;
}

}  // namespace windowing
