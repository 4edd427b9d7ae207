#include "app/ui/MDIForm1.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <type_traits>

#include "Version.h"
#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "app/ui/UnfinishedJob.h"
#include "engrave/ui/Form3.h"
#include "link/job/JobRunner.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/Form4.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/UserMessage.h"
#include "link/ui/WorkingWindow.h"
#include "mill/ui/Form1.h"
#include "outline/ui/Form5.h"
#include "scanner/ui/Form2.h"

namespace {

constexpr int kMainWidth = 1280;
constexpr int kMainHeight = 720;

}  // namespace

MDIForm1::MDIForm1(ProgramContext& program, QWidget* parent)
    : QMainWindow(parent), m_mdiArea(new QMdiArea(this)), m_program(program) {
    setWindowTitle(QStringLiteral("Strugal"));
    setCentralWidget(m_mdiArea);
    buildMenu();
    connect(&m_program.runner, &JobRunner::busyChanged, this, [this](bool busy) {
        // The job's window closes itself once the job has unwound; this window follows it from
        // the event loop.
        if (!busy && m_closeAfterJob) QTimer::singleShot(0, this, &QWidget::close);
    });
    MDIForm_Load();
}

void MDIForm1::buildMenu() {
    const auto addItem = [this](auto* owner, const char* name, const QString& caption,
                                void (MDIForm1::*handler)()) {
        QAction* action = owner->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
    };
    QMenuBar* bar = menuBar();
    addItem(bar, "mill_cl", QStringLiteral("Фрезерование"), &MDIForm1::mill_cl_Click);
    addItem(bar, "scanner_cl", QStringLiteral("Сканер"), &MDIForm1::scanner_cl_Click);
    QMenu* etching_m = bar->addMenu(QStringLiteral("Лазерная гравировка"));
    etching_m->setObjectName(QStringLiteral("etching_m"));
    addItem(etching_m, "etching_cl", QStringLiteral("Градации / картины"),
            &MDIForm1::etching_cl_Click);
    addItem(etching_m, "etching2_cl", QStringLiteral("Орнаменты / силуэты"),
            &MDIForm1::etching2_cl_Click);
    addItem(bar, "settings_cl", QStringLiteral("Настройка"), &MDIForm1::settings_cl_Click);
}

void MDIForm1::MDIForm_Load() {
    setWindowTitle(QStringLiteral("Strugal   ver. %1.%2.%3")
                       .arg(kVersionMajor)
                       .arg(kVersionMinor)
                       .arg(kVersionPatch));
    ProgramSettings& settings = m_program.settings.values();
    m_startupWarning = loadProgramSettings(m_program.config, settings);
    // The result is not reported here: each working window shows it in its status line.
    m_program.link.open(settings.PortName);
    resize(kMainWidth, kMainHeight);
}

void MDIForm1::MDIForm_Unload() {
    m_program.link.close();
}

void MDIForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_warningShown) return;
    m_warningShown = true;
    // After the window has appeared, so that the message boxes stand in front of it.
    QTimer::singleShot(0, this, [this] {
        if (!m_startupWarning.isEmpty()) showMessageBox(this, kErrorTitle, m_startupWarning);
        offerUnfinishedJob();
    });
}

void MDIForm1::offerUnfinishedJob() {
    const std::optional<JobJournalRecord> journal =
        readJobJournal(journalPathFor(m_program.config.ConfigPath()));
    if (!journal) return;
    const QString text = unfinishedJobText(*journal);
    if (text.isEmpty()) return;
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Незавершённая работа"), text,
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("UnfinishedJobBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->button(QMessageBox::Yes)->setText(QStringLiteral("Открыть"));
    box->button(QMessageBox::No)->setText(QStringLiteral("Не сейчас"));
    connect(box, &QMessageBox::finished, this, [this, journal = *journal](int answer) {
        if (answer == QMessageBox::Yes) openJournalWindow(journal);
    });
    box->open();
}

void MDIForm1::openJournalWindow(const JobJournalRecord& journal) {
    const QString window = journal.value(QStringLiteral("window"));
    QPointer<QMdiSubWindow>* child = nullptr;
    if (window == u"mill") {
        child = &m_form1;
        showChild<Form1>(m_form1);
    } else if (window == u"outline") {
        child = &m_form5;
        showChild<Form5>(m_form5);
    } else if (window == u"engrave") {
        child = &m_form3;
        showChild<Form3>(m_form3);
    } else if (window == u"scan") {
        child = &m_form2;
        showChild<Form2>(m_form2);
    }
    if (child && *child) {
        if (auto* form = qobject_cast<WorkingWindow*>((*child)->widget()))
            form->offerJournal(journal);
    }
}

void MDIForm1::closeEvent(QCloseEvent* event) {
    m_mdiArea->closeAllSubWindows();
    if (!m_mdiArea->subWindowList().isEmpty()) {
        // A window is stopping its job: shut-down goes on when the job has ended.
        m_closeAfterJob = m_program.runner.busy();
        event->ignore();
        return;
    }
    m_closeAfterJob = false;
    MDIForm_Unload();
    event->accept();
}

template <class Form>
void MDIForm1::showChild(QPointer<QMdiSubWindow>& window) {
    // A closed child window leaves the area's list at once, even before it is deleted.
    if (!window || !m_mdiArea->subWindowList().contains(window)) {
        auto* form = new Form(m_program);
        // The port hint of a working window's status line opens the settings window.
        if constexpr (std::is_base_of_v<WorkingWindow, Form>) {
            connect(form->panel(), &ManualPanel::settingsRequested, this,
                    &MDIForm1::settings_cl_Click);
        }
        window = m_mdiArea->addSubWindow(form);
        window->setAttribute(Qt::WA_DeleteOnClose);
        // A window opens within the area, so that its controls and status line are in view.
        const QSize room = m_mdiArea->viewport()->size();
        if (!room.isEmpty()) window->resize(window->sizeHint().boundedTo(room));
    }
    window->show();
    m_mdiArea->setActiveSubWindow(window);
    window->widget()->setFocus();
}

void MDIForm1::mill_cl_Click() {
    showChild<Form1>(m_form1);
}

void MDIForm1::scanner_cl_Click() {
    showChild<Form2>(m_form2);
}

void MDIForm1::etching_cl_Click() {
    showChild<Form3>(m_form3);
}

void MDIForm1::etching2_cl_Click() {
    showChild<Form5>(m_form5);
}

void MDIForm1::settings_cl_Click() {
    showChild<Form4>(m_form4);
}
