#include "figures/ui/FigureWindow.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"

FigureWindow::FigureWindow(const WorkingWindowSetup& window, const FigureWindowSetup& figures,
                           ProgramContext& program, QWidget* parent)
    : WorkingWindow(window, program, parent),
      m_workspace(new FigureWorkspace(figures, program.config, this)) {
    FigureWorkspace& workspace = *m_workspace;
    host().setField(JobField::FinishedWidth, workspace.widthField());
    host().setRedraw([&workspace](const QRect& changed) { workspace.redraw(changed); });
    host().setFiguresChanged([&workspace] { workspace.figuresChanged(); });
    host().addJobControl(workspace.openButton());
    host().addJobControl(workspace.parseButton());
    panel()->setToolPositionExtra([&workspace] {
        const ToolPosition& tool = workspace.tool();
        return QStringLiteral("пиксель %1, %2").arg(tool.ToolX).arg(tool.ToolY);
    });
    setPictureArea(m_workspace);
}

void FigureWindow::addJobButtons(FigureJobButtons* buttons) {
    m_buttons = buttons;
    m_workspace->panelLayout()->addWidget(buttons);
    m_workspace->panelLayout()->addWidget(jobBar());
    m_workspace->sideLayout()->addWidget(panel());
}

void FigureWindow::offerJournal(const JobJournalRecord& journal) {
    if (m_buttons) m_buttons->offerJournal(journal);
    const QString path = journal.value(QStringLiteral("picture"));
    if (path.isEmpty()) return;
    m_workspace->pathBox()->setText(path);
    m_workspace->LoadPictureLayers(path);
    if (m_workspace->layers().isLoaded()) m_workspace->Command1_Click();
}

void FigureWindow::loadPictureKey(const ConfigKey&) {
    m_workspace->loadRememberedPicture();
}

FigureJobStart FigureJobButtons::jobStartNow() const {
    FigureWorkspace& area = workspace();
    return {area.layers(), area.analysis(), area.tool()};
}

void FigureJobButtons::restoreJobStart(const FigureJobStart& start) {
    FigureWorkspace& area = workspace();
    area.layers() = start.layers;
    area.analysis() = start.analysis;
    area.tool() = start.tool;
    m_window.host().figuresChanged();
    area.redraw(QRect());
}

FigureJobButtons::FigureJobButtons(FigureWindow& window, const std::array<Button, 5>& buttons)
    : QWidget(&window), m_window(window) {
    using Click = void (FigureJobButtons::*)();
    struct Place {
        const char* name;
        Click click;
        int row, column, columns;
    };
    const Place places[] = {
        {"Command4", &FigureJobButtons::Command4_Click, 0, 0, 1},
        {"Command5", &FigureJobButtons::Command5_Click, 0, 1, 1},
        {"Command2", &FigureJobButtons::Command2_Click, 1, 0, 1},
        {"Command6", &FigureJobButtons::Command6_Click, 1, 1, 1},
        {"Command7", &FigureJobButtons::Command7_Click, 2, 0, 2},
    };
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const Place& place = places[i];
        auto* button = new QPushButton(buttons[i].caption, this);
        button->setObjectName(QLatin1String(place.name));
        if (!buttons[i].hint.isEmpty()) button->setToolTip(buttons[i].hint);
        connect(button, &QPushButton::clicked, this,
                [this, click = place.click] { (this->*click)(); });
        m_window.host().addJobControl(button);
        grid->addWidget(button, place.row, place.column, 1, place.columns);
    }
}
