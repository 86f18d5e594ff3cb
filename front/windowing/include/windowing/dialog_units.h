/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Dialog units: positions in templates scale with the dialog's own font, as the
// platform the templates come from lays them out.
#pragma once

#include <QFont>
#include <QRect>

namespace windowing {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(double char_width, int char_height)
        : char_width_(char_width), char_height_(char_height) {}

    int to_x(int units) const;  // horizontal unit = average character width / 4
    int to_y(int units) const;  // vertical unit = character height / 8
    QRect to_pixels(int x, int y, int width, int height) const;

    double char_width() const { return char_width_; }
    int char_height() const { return char_height_; }

private:
    double char_width_;
    int char_height_;
};

// The font a template names, or the desktop's stand-in when it is not installed:
// "MS Sans Serif" gives the desktop's sans-serif font, "Courier New" the fixed-pitch one.
QFont dialog_font(std::string_view family, int point_size);

}  // namespace windowing
