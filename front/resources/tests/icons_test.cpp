// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The program's icons load from the resources and are drawn.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

namespace {

// The program and its windows load the icon by these resource paths.
TEST(Icons, BothSizesLoadFromTheResources) {
    const QImage large(QStringLiteral(":/icons/quillon-32.png"));
    const QImage small(QStringLiteral(":/icons/quillon-16.png"));
    ASSERT_FALSE(large.isNull());
    ASSERT_FALSE(small.isNull());
    EXPECT_EQ(large.size(), QSize(32, 32));
    EXPECT_EQ(small.size(), QSize(16, 16));
}

TEST(Icons, IconsAreNotBlank) {
    // A failed conversion from the drawing gives a fully transparent image.
    for (const char* path : {":/icons/quillon-32.png", ":/icons/quillon-16.png"}) {
        const QImage image(QString::fromLatin1(path));
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, image.width() * image.height() / 4) << path;
    }
}

TEST(Icons, ScalableDrawingIsAvailable) {
    QFile svg(QStringLiteral(":/icons/quillon.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
}

}  // namespace
