// SPDX-License-Identifier: GPL-3.0-or-later
#include "ManualPdf.h"

#include "TaktoraVersion.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QUrl>

namespace {
constexpr int Resolution = 300;

struct Heading
{
    int level = 2;
    QString text;
    QString marker; // stands in the table of contents until the page is known
};

qreal mm(qreal millimetres)
{
    return millimetres / 25.4 * Resolution;
}

QList<Heading> collectHeadings(const QString& html)
{
    static const QRegularExpression pattern(QStringLiteral("<h([23])[^>]*>(.*?)</h\\1>"),
                                            QRegularExpression::DotMatchesEverythingOption |
                                                QRegularExpression::CaseInsensitiveOption);
    QList<Heading> headings;
    auto it = pattern.globalMatch(html);
    while (it.hasNext()) {
        const auto match = it.next();
        Heading heading;
        heading.level = match.captured(1).toInt();
        heading.text = QTextDocumentFragment::fromHtml(match.captured(2)).toPlainText().simplified();
        heading.marker = QStringLiteral("[[p%1]]").arg(headings.size(), 3, 10, QLatin1Char('0'));
        headings.append(heading);
    }
    return headings;
}

QString tableOfContents(const QList<Heading>& headings)
{
    QString html = QStringLiteral("<table class=\"toc\" width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">");
    for (const Heading& heading : headings) {
        const bool chapter = heading.level == 2;
        html += QStringLiteral("<tr><td class=\"%1\">%2</td><td class=\"%1\" align=\"right\">%3</td></tr>")
                    .arg(chapter ? QStringLiteral("toc2") : QStringLiteral("toc3"),
                         (chapter ? QString() : QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;")) +
                             heading.text.toHtmlEscaped(),
                         heading.marker);
    }
    return html + QStringLiteral("</table>");
}

int pageOf(qreal y, qreal pageHeight)
{
    // The layout rounds to 1/64 pixel: a block at the top of a page may start a hair above it.
    return int((y + 0.5) / pageHeight);
}

// A heading at the foot of a page moves to the next one, together with the text it heads.
void keepHeadingsWithText(QTextDocument& doc, qreal pageHeight)
{
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (int pass = 0; pass < 500; ++pass) {
        doc.pageCount(); // lays the whole document out
        bool moved = false;
        for (QTextBlock block = doc.begin(); block.isValid() && !moved; block = block.next()) {
            QTextBlockFormat format = block.blockFormat();
            if (format.headingLevel() == 0 ||
                (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
                continue;
            const QTextBlock next = block.next();
            if (!next.isValid() || !next.layout() || next.layout()->lineCount() == 0)
                continue;
            // The heading and the first two lines of what follows belong on one page.
            const QTextLine line = next.layout()->lineAt(qMin(1, next.layout()->lineCount() - 1));
            const qreal followingBottom = layout->blockBoundingRect(next).top() + line.rect().bottom();
            if (pageOf(layout->blockBoundingRect(block).top(), pageHeight) !=
                pageOf(followingBottom - 1, pageHeight)) {
                format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
                QTextCursor(block).setBlockFormat(format);
                moved = true;
            }
        }
        if (!moved)
            return;
    }
}

void fillInPageNumbers(QTextDocument& doc, const QList<Heading>& headings, qreal pageHeight)
{
    QList<int> pages;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level == 2 || level == 3)
            pages << pageOf(doc.documentLayout()->blockBoundingRect(block).top(), pageHeight) + 1;
    }
    for (int i = 0; i < headings.size() && i < pages.size(); ++i) {
        QTextCursor cursor = doc.find(headings.at(i).marker);
        if (!cursor.isNull())
            cursor.insertText(QString::number(pages.at(i)));
    }
}

void drawPageFrame(QPainter& painter, const QRectF& page, int number, int count)
{
    const QColor grey(110, 110, 110);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"), QStringLiteral("Arial")});
    font.setPointSizeF(8);
    painter.setFont(font);
    painter.setPen(grey);

    const qreal textHeight = mm(5);
    const QRectF header(page.left(), page.top(), page.width(), textHeight);
    painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(TaktoraVersion::ProductName) + QStringLiteral(" – Handbuch"));
    painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Version %1.%2 (build %3)")
                         .arg(TaktoraVersion::Major)
                         .arg(TaktoraVersion::Minor)
                         .arg(TaktoraVersion::Revision));
    painter.setPen(QPen(QColor(22, 104, 150), mm(0.3)));
    painter.drawLine(QPointF(page.left(), page.top() + textHeight + mm(1)),
                     QPointF(page.right(), page.top() + textHeight + mm(1)));

    painter.setPen(grey);
    const QRectF footer(page.left(), page.bottom() - textHeight, page.width(), textHeight);
    painter.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(TaktoraVersion::CompanyName));
    painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Seite %1 von %2").arg(number).arg(count));
}
} // namespace

QString ManualPdf::expandPlaceholders(const QString& html)
{
    QString text = html;
    text.replace(QStringLiteral("@PROGRAMTITLE@"), QString::fromUtf8(TaktoraVersion::ProgramTitle));
    text.replace(QStringLiteral("@PRODUCT@"), QString::fromUtf8(TaktoraVersion::ProductName));
    text.replace(QStringLiteral("@FULLVERSION@"), QStringLiteral("%1.%2.%3")
                                                      .arg(TaktoraVersion::Major)
                                                      .arg(TaktoraVersion::Minor)
                                                      .arg(TaktoraVersion::Revision));
    text.replace(QStringLiteral("@VERSION@"),
                 QStringLiteral("%1.%2").arg(TaktoraVersion::Major).arg(TaktoraVersion::Minor));
    text.replace(QStringLiteral("@BUILD@"), QString::number(TaktoraVersion::Revision));
    text.replace(QStringLiteral("@COMPANY@"), QString::fromUtf8(TaktoraVersion::CompanyName).toHtmlEscaped());
    text.replace(QStringLiteral("@COPYRIGHT@"), QString::fromUtf8(TaktoraVersion::Copyright).toHtmlEscaped());
    text.replace(QStringLiteral("@MINFIRMWARE@"), QStringLiteral("%1.%2.%3")
                                                      .arg(TaktoraVersion::MinimumFirmwareMajor)
                                                      .arg(TaktoraVersion::MinimumFirmwareMinor)
                                                      .arg(TaktoraVersion::MinimumFirmwareRevision));
    return text;
}

bool ManualPdf::render(const QString& sourcePath, const QString& pdfPath, QString& error)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(sourcePath, source.errorString());
        return false;
    }
    QString html = expandPlaceholders(QString::fromUtf8(source.readAll()));
    const QList<Heading> headings = collectHeadings(html);
    html.replace(QStringLiteral("<p>@TOC@</p>"), tableOfContents(headings));

    QPdfWriter writer(pdfPath);
    writer.setResolution(Resolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 14, 20, 14), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Handbuch ") + QString::fromUtf8(TaktoraVersion::ProductName));
    writer.setCreator(QStringLiteral("taktora-manual"));

    const QRectF page(0, 0, writer.width(), writer.height());
    const qreal headerHeight = mm(11);
    const qreal footerHeight = mm(11);
    const qreal bodyHeight = page.height() - headerHeight - footerHeight;

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"), QStringLiteral("Arial")});
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    doc.setBaseUrl(QUrl::fromLocalFile(QFileInfo(sourcePath).absolutePath() + QLatin1Char('/')));
    doc.setHtml(html);
    doc.setPageSize(QSizeF(page.width(), bodyHeight));

    keepHeadingsWithText(doc, bodyHeight);
    fillInPageNumbers(doc, headings, bodyHeight);

    QPainter painter;
    if (!painter.begin(&writer)) {
        error = QStringLiteral("cannot write %1").arg(pdfPath);
        return false;
    }
    const int pageCount = doc.pageCount();
    for (int i = 0; i < pageCount; ++i) {
        if (i > 0) {
            writer.newPage();
            drawPageFrame(painter, page, i + 1, pageCount);
        }
        painter.save();
        painter.translate(0, headerHeight - i * bodyHeight);
        doc.drawContents(&painter, QRectF(0, i * bodyHeight, page.width(), bodyHeight));
        painter.restore();
    }
    painter.end();
    return true;
}
