// The modal "About Quado" box: the application icon, the version line and
// one line about the program, and an OK button. Run by the main frame.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* Caption = QT_TRANSLATE_NOOP("CAboutDlg", "About Quado");
    static constexpr const char* VersionText = QT_TRANSLATE_NOOP("CAboutDlg", "Quado Version 1.0");
    static constexpr const char* DescriptionText = QT_TRANSLATE_NOOP("CAboutDlg", "Big-screen memory game board");

    explicit CAboutDlg(QWidget* pParent);

    QLabel* m_pIcon;
    QLabel* m_pVersion;
    QLabel* m_pDescription;
    QPushButton* m_pOk;

protected:
    void changeEvent(QEvent* pEvent) override;
};
