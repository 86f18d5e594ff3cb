// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The about box shows both versions.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "about_box_dlg.h"
#include "resource_ids.h"
#include "vandrel.h"

namespace {

TEST(AboutBox, ShowsTheLibraryVersionBesideTheProgramVersion) {
    CAboutBoxDlg about;
    EXPECT_EQ(about.m_versionText, QStringLiteral("DLL-Version: 1.02.000"));
    EXPECT_STREQ(get_version(), "1.02.000");
    about.Create();
    EXPECT_EQ(qobject_cast<QLabel*>(about.GetDlgItem(quillon::IDC_DLL_VERSION))->text(),
              QStringLiteral("DLL-Version: 1.02.000"));
    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        texts.append(label->text());
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Quillon, Version 1.01.000")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Up/Downloader for vandrel (8051)")));
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("Info über Quillon"));
}

TEST(AboutBox, OkAndEscapeEndIt) {
    CAboutBoxDlg about;
    about.Create();
    QTest::mouseClick(qobject_cast<QPushButton*>(about.GetDlgItem(windowing::IDOK)),
                      Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), windowing::IDOK);

    CAboutBoxDlg second;
    second.Create();
    QTest::keyClick(&second, Qt::Key_Escape);
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.result(), windowing::IDCANCEL);
}

}  // namespace
