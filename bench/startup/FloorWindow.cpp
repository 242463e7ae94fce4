// The floor of the start-up bench: the least any program must do to show
// Quado's first picture. A main window with a text menu bar over a painted
// 1280 x 768 picture, and a second window with text, shown once the first
// is painted. Nothing is decoded: the picture is one colour.
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

class CPicture : public QWidget {
public:
    explicit CPicture(QWidget* pToolWindow) : m_pToolWindow(pToolWindow), m_image(1280, 768, QImage::Format_RGB32)
    {
        m_image.fill(QColor(52, 52, 60));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.drawImage((width() - m_image.width()) / 2, (height() - m_image.height()) / 2, m_image);
        if (m_pToolWindow)
            QTimer::singleShot(0, std::exchange(m_pToolWindow, nullptr), &QWidget::show);
    }

private:
    QWidget* m_pToolWindow;
    QImage m_image;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QDialog tool;
    tool.setWindowTitle(QStringLiteral("Floor tool window"));
    auto* pLayout = new QVBoxLayout(&tool);
    pLayout->addWidget(new QLabel(QStringLiteral("Adapter")));
    pLayout->addWidget(new QPushButton(QStringLiteral("Connect")));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Floor window"));
    for (const char* pszMenu : {"&File", "&Options", "&View", "&Show", "&Help"})
        window.menuBar()->addMenu(QString::fromLatin1(pszMenu))->addAction(QStringLiteral("&Item"));
    window.setCentralWidget(new CPicture(&tool));
    window.resize(1300, 820);
    window.show();
    return application.exec();
}
