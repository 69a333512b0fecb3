// dvk-manual-pdf IN.md OUT.pdf: typesets the Markdown user manual as an A4
// PDF with page numbers (Qt's text layout, no display needed).
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dvk-manual-pdf MANUAL.md OUT.pdf\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "dvk-manual-pdf: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString markdown = QString::fromUtf8(in.readAll());

    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString tmp = out + ".tmp";
    {
        QPdfWriter writer(tmp);
        writer.setTitle("DVK User Manual");
        writer.setCreator("DVK");
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 18),
                                         QPageLayout::Millimeter));

        QTextDocument doc;
        QFont body("DejaVu Sans");
        body.setPointSizeF(10);
        doc.setDefaultFont(body);
        doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
        // print() lays the document out on the writer's pages and numbers them.
        doc.print(&writer);
    }
    QFile::remove(out);
    if (!QFile::rename(tmp, out)) {
        std::fprintf(stderr, "dvk-manual-pdf: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
