#pragma once

#include <QWidget>

class QLineEdit;
class WindowLink;

// The picture engraving window: a greyscale picture burnt with the laser. It reads its picture
// path and finished width from the configuration file when created and writes the width back
// when it closes.
class Form3 : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form3(QWidget* parent = nullptr);

protected:
    // Runs Form_Unload, then lets the window close; while the window's job runs it stops the job
    // first and closes when the job has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();

    QLineEdit* Text1;    // path of the picture
    QLineEdit* Text6;    // finished width, mm
    QLineEdit* Text7;    // finished height, mm (follows the width; not stored)
    WindowLink* m_link;  // manual panel, "Стоп", progress and the window's move protocol
};
