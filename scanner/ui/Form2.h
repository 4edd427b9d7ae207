#pragma once

#include <QWidget>

class QLineEdit;
class WindowLink;

// The 3D scanner window: a surface probed over a grid of points. It reads its picture size, scan
// area and grid fields from the configuration file when created and writes them back when it
// closes.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form2(QWidget* parent = nullptr);

protected:
    // Runs Form_Unload, then lets the window close; while the window's job runs it stops the job
    // first and closes when the job has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();

    QLineEdit* Text6;    // picture width, pixels
    QLineEdit* Text7;    // picture height, pixels
    QLineEdit* Text3;    // grid points along X
    QLineEdit* Text4;    // grid points along Y
    QLineEdit* Text8;    // scan area along X, mm
    QLineEdit* Text9;    // scan area along Y, mm (derived from the others; not stored)
    WindowLink* m_link;  // manual panel, "Стоп", progress and the window's move protocol
};
