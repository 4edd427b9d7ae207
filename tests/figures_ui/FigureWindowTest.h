#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "figures/ui/FigureWorkspace.h"
#include "link/protocol/MachineLink.h"
#include "link/ui/WindowJobHost.h"
#include "tests/support/TestProgram.h"

// A figure window (milling or outlining) opened on a 40 × 30 picture with a black square,
// remembered under `imageKey` with the other `keys` in a fresh cnc.ini, the way the window loads
// its remembered picture. No port is open, so every job is a dry run; messages are recorded as
// "title: text".
template <class Form>
class FigureWindowTest : public ::testing::Test {
protected:
    void openWindow(const QByteArray& keys, const QByteArray& imageKey) {
        ASSERT_TRUE(m_dir.isValid());
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::white);
        for (int y = 5; y <= 20; ++y)
            for (int x = 5; x <= 30; ++x) picture.setPixel(x, y, qRgb(0, 0, 0));
        const QString picturePath = m_dir.filePath("square.bmp");
        ASSERT_TRUE(picture.save(picturePath));
        QFile config(m_dir.filePath("cnc.ini"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[CNC]\n" + keys + imageKey + '=' + picturePath.toUtf8() + "\n");
        config.close();
        testProgram().config = ConfigFile(config.fileName());
        testProgram().link.close();
        m_form = std::make_unique<Form>(testProgram().context());
        auto* host = m_form->template findChild<WindowJobHost*>();
        ASSERT_NE(host, nullptr);
        host->setMessageFunction([this](QWidget*, const MessageTitle& title, const QString& text) {
            m_messages << title.toString() + ": " + text;
        });
        m_workspace = m_form->template findChild<FigureWorkspace*>();
        ASSERT_NE(m_workspace, nullptr);
        ASSERT_TRUE(m_workspace->layers().isLoaded());
    }
    void TearDown() override {
        m_form.reset();
        testProgram().settings.values() = ProgramSettings();
    }
    QPushButton* button(const char* name) const {
        auto* found = m_form->template findChild<QPushButton*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Form> m_form;
    FigureWorkspace* m_workspace = nullptr;
    QStringList m_messages;
};
