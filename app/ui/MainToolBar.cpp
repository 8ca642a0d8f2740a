#include "app/ui/MainToolBar.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QToolBar>
#include <cmath>
#include <cstring>
#include <functional>

#include "app/ui/CMainFrame.h"
#include "app/ui/CommandRouting.h"

namespace vocomet {

const ToolBarEntry kToolBarEntries[] = {
    {"File > New", "New"},
    {"File > Open...", "Open"},
    {"File > Save", "Save"},
    {"File > Save Copy As...", "Save a Copy As"},
    {"File > Print...", "Print"},
    {"", ""},
    {"Edit > Undo", "Undo"},
    {"Edit > Cut", "Cut"},
    {"Edit > Copy", "Copy"},
    {"Edit > Paste", "Paste"},
    {"", ""},
    {"Zoom > UnZoom", "UnZoom"},
    {"Zoom > In", "Zoom In"},
    {"Zoom > Out", "Zoom Out"},
    {"Zoom > Selection", "Zoom Selection"},
    {"Zoom > From Cursor for Duration", "Zoom for duration"},
    {"Zoom > Home", "Zoom Home"},
    {"", ""},
    {"Channels > Set Reference All", "Set Channels Reference All"},
    {"", ""},
    {"Record/Play > Record", "Record"},
    {"Record/Play > Play All", "Play All"},
    {"Record/Play > Play Selection", "Play Selection"},
    {"Record/Play > Play Window", "Play Window"},
    {"", ""},
    {"Analysis > FFT/LPC", "FFT/LPC"},
    {"Analysis > FFT/LPC Selection", "FFT/LPC average"},
    {"Analysis > Spectrogram All", "Spectrogram All"},
    {"Analysis > Spectrogram Selection", "Spectrogram Selection"},
    {"Analysis > Spectrogram Window", "Spectrogram Window"},
    {"Analysis > Intensity", "Intensity"},
    {"Analysis > Smooth", "Smooth"},
    {"Analysis > Pitch", "Pitch"},
    {"", ""},
    {"Labels > View Labels", "View Labels"},
    {"", ""},
    {"Log > New", "New Log file"},
    {"Log > Open...", "Open a log file"},
    {"", ""},
    {"Help > About Vocomet...", "About"},
    {"Help > Help Topics", "Help Topics"},
};
const int kToolBarEntryCount = int(sizeof kToolBarEntries / sizeof kToolBarEntries[0]);

namespace {

constexpr const char* kCommandProperty = "vocometToolBarCommand";

QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

// ---- The buttons' pictures, drawn on a 24 x 24 grid. ----

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kBlue(40, 90, 180);
const QColor kGreen(30, 140, 60);
const QColor kRed(200, 30, 30);
const QColor kYellow(235, 190, 60);

void Page(QPainter& p, QRectF r) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 5, r.top());
    path.lineTo(r.right(), r.top() + 5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 5, r.top()), QPointF(r.right() - 5, r.top() + 5));
    p.drawLine(QPointF(r.right() - 5, r.top() + 5), QPointF(r.right(), r.top() + 5));
}

void TextLines(QPainter& p, QRectF r, int lines) {
    p.setPen(QPen(kInk, 1));
    for (int i = 0; i < lines; ++i) {
        const double y = r.top() + 3 + i * 3;
        if (y < r.bottom() - 1)
            p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

void Folder(QPainter& p) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kYellow);
    QPainterPath back;
    back.moveTo(2, 6);
    back.lineTo(8, 6);
    back.lineTo(10, 8);
    back.lineTo(19, 8);
    back.lineTo(19, 19);
    back.lineTo(2, 19);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(kYellow.lighter(115));
    QPolygonF front;
    front << QPointF(2, 19) << QPointF(6, 11) << QPointF(22, 11) << QPointF(19, 19);
    p.drawPolygon(front);
}

void Floppy(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kBlue);
    p.drawRect(r);
    p.setBrush(kPaper);
    p.drawRect(QRectF(r.left() + 3, r.top(), r.width() - 6, r.height() * 0.4));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(r.left() + 4, r.bottom() - r.height() * 0.35, r.width() - 8, r.height() * 0.35));
}

void Magnifier(QPainter& p, char sign) {
    p.setPen(QPen(kInk, 2));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
    p.setPen(QPen(kInk, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 15), QPointF(21, 21));
    p.setPen(QPen(kBlue, 1.8));
    switch (sign) {
    case '+':
        p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
        p.drawLine(QPointF(10, 6.5), QPointF(10, 13.5));
        break;
    case '-':
        p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
        break;
    case '[':
        p.drawLine(QPointF(7, 7), QPointF(7, 13));
        p.drawLine(QPointF(13, 7), QPointF(13, 13));
        p.drawLine(QPointF(7, 10), QPointF(13, 10));
        break;
    case '>':
        p.drawLine(QPointF(6.5, 10), QPointF(13, 10));
        p.drawLine(QPointF(10.5, 7.5), QPointF(13, 10));
        p.drawLine(QPointF(10.5, 12.5), QPointF(13, 10));
        break;
    case '1': {
        QFont f = p.font();
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(3.5, 3.5, 13, 13), Qt::AlignCenter, QStringLiteral("1:1"));
        break;
    }
    default:
        break;
    }
}

void Wave(QPainter& p, QRectF r, const QColor& colour, double cycles = 2.0) {
    QPainterPath path;
    for (int i = 0; i <= 40; ++i) {
        const double t = i / 40.0;
        const double y = r.center().y() - r.height() / 2 * std::sin(t * cycles * 6.2831853) * (0.4 + 0.6 * t);
        const QPointF at(r.left() + t * r.width(), y);
        if (i == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    p.setPen(QPen(colour, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void PlayTriangle(QPainter& p, QRectF r) {
    QPolygonF t;
    t << r.topLeft() << QPointF(r.right(), r.center().y()) << r.bottomLeft();
    p.setPen(QPen(kGreen.darker(130), 1));
    p.setBrush(kGreen);
    p.drawPolygon(t);
}

void Brackets(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1.6));
    p.drawLine(QPointF(r.left() + 2, r.top()), QPointF(r.left(), r.top()));
    p.drawLine(QPointF(r.left(), r.top()), QPointF(r.left(), r.bottom()));
    p.drawLine(QPointF(r.left(), r.bottom()), QPointF(r.left() + 2, r.bottom()));
    p.drawLine(QPointF(r.right() - 2, r.top()), QPointF(r.right(), r.top()));
    p.drawLine(QPointF(r.right(), r.top()), QPointF(r.right(), r.bottom()));
    p.drawLine(QPointF(r.right(), r.bottom()), QPointF(r.right() - 2, r.bottom()));
}

void Spectrum(QPainter& p, bool average) {
    p.setPen(QPen(kInk, 1.2));
    p.drawLine(QPointF(3, 3), QPointF(3, 21));
    p.drawLine(QPointF(3, 21), QPointF(21, 21));
    QPainterPath path;
    const double ys[] = {8, 5, 12, 7, 14, 11, 17, 15, 19};
    path.moveTo(4, ys[0]);
    for (int i = 1; i < 9; ++i)
        path.lineTo(4 + i * 2.1, ys[i]);
    p.setPen(QPen(kBlue, 1.6));
    p.drawPath(path);
    if (average) {
        p.setPen(QPen(kRed, 1.4, Qt::DashLine));
        p.drawLine(QPointF(4, 6), QPointF(21, 18));
    }
}

void Spectrogram(QPainter& p, int part) {
    p.setPen(Qt::NoPen);
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 8; ++y) {
            const int g = 60 + ((x * 37 + y * 53 + x * y * 11) % 170);
            p.setBrush(QColor(g, g, g));
            p.fillRect(QRectF(3 + x * 2, 4 + y * 2, 2, 2), QColor(g, g, g));
        }
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3, 4, 18, 16));
    if (part == 1)
        Brackets(p, QRectF(7, 2, 10, 20));
    else if (part == 2) {
        p.setPen(QPen(kBlue, 1.6));
        p.drawRect(QRectF(6, 6, 12, 12));
    }
}

void Letters(QPainter& p, QRectF r, const QString& text, const QColor& colour, int pixels) {
    QFont f = p.font();
    f.setPixelSize(pixels);
    f.setBold(true);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

using Drawing = std::function<void(QPainter&)>;

Drawing DrawingFor(const char* path) {
    const auto is = [path](const char* p) { return std::strcmp(path, p) == 0; };
    if (is("File > New"))
        return [](QPainter& p) { Page(p, QRectF(5, 2, 14, 20)); };
    if (is("File > Open..."))
        return [](QPainter& p) { Folder(p); };
    if (is("File > Save"))
        return [](QPainter& p) { Floppy(p, QRectF(3, 3, 18, 18)); };
    if (is("File > Save Copy As..."))
        return [](QPainter& p) {
            Floppy(p, QRectF(7, 7, 15, 15));
            Page(p, QRectF(2, 2, 10, 13));
        };
    if (is("File > Print..."))
        return [](QPainter& p) {
            Page(p, QRectF(7, 2, 10, 8));
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(QColor(190, 190, 190));
            p.drawRoundedRect(QRectF(2, 9, 20, 9), 2, 2);
            p.setBrush(kPaper);
            p.drawRect(QRectF(6, 15, 12, 7));
            TextLines(p, QRectF(6, 15, 12, 7), 2);
        };
    if (is("Edit > Undo"))
        return [](QPainter& p) {
            QPainterPath arc;
            arc.moveTo(6, 10);
            arc.cubicTo(10, 4, 20, 6, 19, 14);
            arc.cubicTo(18, 18, 14, 19, 11, 19);
            p.setPen(QPen(kBlue, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawPath(arc);
            QPolygonF head;
            head << QPointF(2, 6) << QPointF(9, 5) << QPointF(5, 12);
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawPolygon(head);
        };
    if (is("Edit > Cut"))
        return [](QPainter& p) {
            p.setPen(QPen(kInk, 1.8));
            p.drawLine(QPointF(7, 2), QPointF(15, 15));
            p.drawLine(QPointF(17, 2), QPointF(9, 15));
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(kRed, 2));
            p.drawEllipse(QPointF(7, 18), 3.5, 3.5);
            p.drawEllipse(QPointF(17, 18), 3.5, 3.5);
        };
    if (is("Edit > Copy"))
        return [](QPainter& p) {
            Page(p, QRectF(2, 2, 12, 15));
            TextLines(p, QRectF(2, 2, 12, 15), 4);
            Page(p, QRectF(10, 7, 12, 15));
            TextLines(p, QRectF(10, 7, 12, 15), 4);
        };
    if (is("Edit > Paste"))
        return [](QPainter& p) {
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(QColor(170, 120, 70));
            p.drawRoundedRect(QRectF(3, 4, 14, 18), 2, 2);
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(7, 2, 6, 4));
            Page(p, QRectF(11, 9, 11, 13));
            TextLines(p, QRectF(11, 9, 11, 13), 3);
        };
    if (is("Zoom > UnZoom"))
        return [](QPainter& p) { Magnifier(p, '1'); };
    if (is("Zoom > In"))
        return [](QPainter& p) { Magnifier(p, '+'); };
    if (is("Zoom > Out"))
        return [](QPainter& p) { Magnifier(p, '-'); };
    if (is("Zoom > Selection"))
        return [](QPainter& p) { Magnifier(p, '['); };
    if (is("Zoom > From Cursor for Duration"))
        return [](QPainter& p) { Magnifier(p, '>'); };
    if (is("Zoom > Home"))
        return [](QPainter& p) {
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(QColor(220, 120, 90));
            QPolygonF roof;
            roof << QPointF(2, 12) << QPointF(12, 3) << QPointF(22, 12);
            p.drawPolygon(roof);
            p.setBrush(kPaper);
            p.drawRect(QRectF(5, 12, 14, 9));
            p.setBrush(kBlue);
            p.drawRect(QRectF(10, 15, 4, 6));
        };
    if (is("Channels > Set Reference All"))
        return [](QPainter& p) {
            Wave(p, QRectF(2, 2, 20, 8), kBlue);
            Wave(p, QRectF(2, 12, 20, 8), kBlue, 3);
            p.setPen(QPen(kRed, 1.6, Qt::DashLine));
            p.drawLine(QPointF(1, 6), QPointF(23, 6));
            p.drawLine(QPointF(1, 16), QPointF(23, 16));
        };
    if (is("Record/Play > Record"))
        return [](QPainter& p) {
            p.setPen(QPen(kRed.darker(140), 1));
            p.setBrush(kRed);
            p.drawEllipse(QPointF(12, 12), 8, 8);
        };
    if (is("Record/Play > Play All"))
        return [](QPainter& p) { PlayTriangle(p, QRectF(5, 3, 15, 18)); };
    if (is("Record/Play > Play Selection"))
        return [](QPainter& p) {
            PlayTriangle(p, QRectF(8, 6, 9, 12));
            Brackets(p, QRectF(3, 3, 18, 18));
        };
    if (is("Record/Play > Play Window"))
        return [](QPainter& p) {
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kPaper);
            p.drawRect(QRectF(2, 3, 20, 18));
            p.fillRect(QRectF(2.6, 3.6, 18.8, 3), kBlue);
            PlayTriangle(p, QRectF(9, 9, 8, 10));
        };
    if (is("Analysis > FFT/LPC"))
        return [](QPainter& p) { Spectrum(p, false); };
    if (is("Analysis > FFT/LPC Selection"))
        return [](QPainter& p) { Spectrum(p, true); };
    if (is("Analysis > Spectrogram All"))
        return [](QPainter& p) { Spectrogram(p, 0); };
    if (is("Analysis > Spectrogram Selection"))
        return [](QPainter& p) { Spectrogram(p, 1); };
    if (is("Analysis > Spectrogram Window"))
        return [](QPainter& p) { Spectrogram(p, 2); };
    if (is("Analysis > Intensity"))
        return [](QPainter& p) {
            Wave(p, QRectF(2, 12, 20, 10), QColor(150, 150, 150), 4);
            QPainterPath env;
            env.moveTo(2, 18);
            env.cubicTo(8, 4, 14, 4, 22, 14);
            p.setPen(QPen(kRed, 2));
            p.drawPath(env);
            Letters(p, QRectF(0, 0, 12, 9), QStringLiteral("dB"), kInk, 8);
        };
    if (is("Analysis > Smooth"))
        return [](QPainter& p) {
            QPainterPath rough;
            rough.moveTo(2, 14);
            const double ys[] = {10, 16, 8, 17, 9, 15, 11, 14, 10};
            for (int i = 0; i < 9; ++i)
                rough.lineTo(4 + i * 2.2, ys[i]);
            p.setPen(QPen(QColor(160, 160, 160), 1));
            p.drawPath(rough);
            QPainterPath smooth;
            smooth.moveTo(2, 13);
            smooth.cubicTo(8, 9, 14, 16, 22, 12);
            p.setPen(QPen(kBlue, 2.2));
            p.drawPath(smooth);
        };
    if (is("Analysis > Pitch"))
        return [](QPainter& p) {
            p.setPen(QPen(kInk, 1.2));
            p.drawLine(QPointF(3, 3), QPointF(3, 21));
            p.drawLine(QPointF(3, 21), QPointF(21, 21));
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            const double ys[] = {15, 13, 11, 10, 10, 11, 13};
            for (int i = 0; i < 7; ++i)
                p.drawEllipse(QPointF(6 + i * 2.4, ys[i]), 1.3, 1.3);
            Letters(p, QRectF(12, 13, 11, 9), QStringLiteral("F0"), kRed, 7);
        };
    if (is("Labels > View Labels"))
        return [](QPainter& p) {
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kYellow);
            QPolygonF tag;
            tag << QPointF(2, 7) << QPointF(15, 7) << QPointF(21, 12) << QPointF(15, 17) << QPointF(2, 17);
            p.drawPolygon(tag);
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(15.5, 12), 1.5, 1.5);
            Letters(p, QRectF(2, 7, 11, 10), QStringLiteral("A"), kInk, 9);
        };
    if (is("Log > New"))
        return [](QPainter& p) {
            Page(p, QRectF(4, 2, 14, 20));
            TextLines(p, QRectF(4, 4, 14, 18), 5);
            Letters(p, QRectF(12, 12, 12, 12), QStringLiteral("+"), kGreen, 14);
        };
    if (is("Log > Open..."))
        return [](QPainter& p) {
            Folder(p);
            TextLines(p, QRectF(8, 9, 11, 9), 2);
        };
    if (is("Help > About Vocomet..."))
        return [](QPainter& p) {
            p.setPen(QPen(kBlue.darker(120), 1));
            p.setBrush(kBlue);
            p.drawEllipse(QPointF(12, 12), 10, 10);
            Letters(p, QRectF(2, 2, 20, 20), QStringLiteral("i"), kPaper, 15);
        };
    if (is("Help > Help Topics"))
        return [](QPainter& p) {
            p.setPen(QPen(kGreen.darker(120), 1));
            p.setBrush(kGreen);
            p.drawEllipse(QPointF(12, 12), 10, 10);
            Letters(p, QRectF(2, 2, 20, 20), QStringLiteral("?"), kPaper, 15);
        };
    return [](QPainter& p) { Page(p, QRectF(5, 2, 14, 20)); };
}

QIcon DrawnIcon(const char* path) {
    const Drawing draw = DrawingFor(path);
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// Where the desktop's theme has a picture that means the same.
const char* ThemeName(const char* path) {
    static const struct {
        const char* path;
        const char* theme;
    } names[] = {
        {"File > New", "document-new"},       {"File > Open...", "document-open"},
        {"File > Save", "document-save"},     {"File > Print...", "document-print"},
        {"Edit > Undo", "edit-undo"},         {"Edit > Cut", "edit-cut"},
        {"Edit > Copy", "edit-copy"},         {"Edit > Paste", "edit-paste"},
        {"Zoom > In", "zoom-in"},             {"Zoom > Out", "zoom-out"},
        {"Zoom > UnZoom", "zoom-original"},   {"Zoom > Home", "go-home"},
        {"Record/Play > Record", "media-record"}, {"Record/Play > Play All", "media-playback-start"},
        {"Help > About Vocomet...", "help-about"}, {"Help > Help Topics", "help-contents"},
    };
    for (const auto& n : names)
        if (std::strcmp(n.path, path) == 0)
            return n.theme;
    return nullptr;
}

QIcon ButtonIcon(const char* path) {
    const QIcon drawn = DrawnIcon(path);
    const char* theme = ThemeName(path);
    return theme ? QIcon::fromTheme(QString::fromLatin1(theme), drawn) : drawn;
}

// Runs the toolbar's update while the application idles: after every click
// and key, and now and then besides, as the state may change without either
// (a recording ends, a computation finishes).
class ToolBarUpdater : public QObject {
public:
    ToolBarUpdater(CMainFrame& frame, QToolBar& bar) : QObject(&bar), m_frame(frame) {
        m_soon.setSingleShot(true);
        m_soon.setInterval(0);
        connect(&m_soon, &QTimer::timeout, this, [this] { UpdateToolBar(m_frame); });
        m_regular.setInterval(250);
        connect(&m_regular, &QTimer::timeout, this, [this] {
            if (m_frame.isVisible())
                UpdateToolBar(m_frame);
        });
        m_regular.start();
        qApp->installEventFilter(this);
    }

    void Soon() { m_soon.start(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
        case QEvent::KeyRelease:
            Soon();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CMainFrame& m_frame;
    QTimer m_soon;
    QTimer m_regular;
};

QToolBar* ToolBarOf(CMainFrame& frame) { return frame.findChild<QToolBar*>(QStringLiteral("mainToolBar")); }

}  // namespace

QAction* MenuCommandAt(const QMenuBar& bar, const QString& path) {
    QList<QAction*> actions = bar.actions();
    QAction* found = nullptr;
    for (const QString& part : path.split(QStringLiteral(" > "))) {
        found = nullptr;
        for (QAction* a : actions)
            if (!a->isSeparator() && Plain(a->menu() ? a->menu()->title() : a->text()) == part) {
                found = a;
                break;
            }
        if (!found)
            return nullptr;
        if (found->menu())
            actions = found->menu()->actions();
    }
    return found && !found->menu() ? found : nullptr;
}

QAction* CommandOfButton(const QAction& button) {
    return qobject_cast<QAction*>(button.property(kCommandProperty).value<QObject*>());
}

bool IsCommandEnabledNow(CMainFrame& frame, QAction& command) {
    if (!IsDeclared(command))
        return command.isEnabled();
    // The frame's current window, also while another top-level window (the
    // status window, the log) has the keyboard: a click on a button brings
    // the frame back with that window active.
    QMdiSubWindow* active = frame.MdiArea() ? frame.MdiArea()->currentSubWindow() : nullptr;
    return RouteCommand(command, active);
}

QToolBar* InstallMainToolBar(CMainFrame& frame) {
    auto* bar = new QToolBar(QStringLiteral("Standard"), &frame);
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setMovable(true);
    bar->setFloatable(true);
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    bar->setIconSize(QSize(20, 20));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int i = 0; i < kToolBarEntryCount; ++i) {
        const ToolBarEntry& e = kToolBarEntries[i];
        if (!*e.path) {
            bar->addSeparator();
            continue;
        }
        QAction* command = MenuCommandAt(*frame.menuBar(), QString::fromLatin1(e.path));
        if (!command)
            continue;
        // The button is a stand-in that keeps its own enabled state (the
        // menu's rule) and runs the command's action; the action's own
        // state stays as the menus and shortcuts need it.
        auto* button = new QAction(ButtonIcon(e.path), QString::fromLatin1(e.tip), bar);
        button->setToolTip(QString::fromLatin1(e.tip));
        button->setStatusTip(command->statusTip());
        button->setProperty(kCommandProperty, QVariant::fromValue<QObject*>(command));
        QPointer<QAction> target(command);
        CMainFrame* f = &frame;
        QObject::connect(button, &QAction::triggered, command, [f, target] {
            if (target && IsCommandEnabledNow(*f, *target))
                target->trigger();
        });
        QObject::connect(command, &QAction::changed, button, [button, target] {
            if (target)
                button->setStatusTip(target->statusTip());
        });
        bar->addAction(button);
    }
    frame.addToolBar(Qt::TopToolBarArea, bar);
    auto* updater = new ToolBarUpdater(frame, *bar);
    QObject::connect(frame.MdiArea(), &QMdiArea::subWindowActivated, updater, [updater] { updater->Soon(); });
    UpdateToolBar(frame);
    return bar;
}

void UpdateToolBar(CMainFrame& frame) {
    QToolBar* bar = ToolBarOf(frame);
    if (!bar)
        return;
    emit frame.updatingCommands();
    for (QAction* button : bar->actions())
        if (QAction* command = CommandOfButton(*button))
            button->setEnabled(IsCommandEnabledNow(frame, *command));
}

}  // namespace vocomet
