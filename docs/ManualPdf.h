// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Renders the manual's HTML to an A4 PDF: title page without header and footer, running header,
// "Seite n von m" below, a table of contents with page numbers, and no heading left alone at the
// foot of a page. Images are looked up relative to the source file.
class ManualPdf
{
public:
    // The program's identity replaces these in the source: @PROGRAMTITLE@, @PRODUCT@, @VERSION@
    // (major.minor), @BUILD@, @FULLVERSION@, @COMPANY@, @COPYRIGHT@, @MINFIRMWARE@. @TOC@ in a
    // paragraph of its own becomes the table of contents of all h2 and h3 headings.
    static QString expandPlaceholders(const QString& html);

    // False with a message on failure.
    static bool render(const QString& sourcePath, const QString& pdfPath, QString& error);
};
