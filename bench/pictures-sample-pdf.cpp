// Benchmark fixture: a PDF of N A4 pages of text in several fonts, with rules and a shaded box,
// drawn with cairo (what a report or an article looks like to a renderer).
//   bench-pictures-sample-pdf PAGES OUTPUT.pdf
#include <QCoreApplication>
#include <QFile>

#include <cairo/cairo-pdf.h>
#include <cairo/cairo.h>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s PAGES OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    const int pages = args[1].toInt();
    const double width = 595;
    const double height = 842;
    cairo_surface_t* surface =
        cairo_pdf_surface_create(QFile::encodeName(args[2]).constData(), width, height);
    cairo_t* cr = cairo_create(surface);
    const char* words =
        "The quick brown fox jumps over the lazy dog while the converter renders every page. ";
    for (int page = 0; page < pages; ++page) {
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.3);
        cairo_select_font_face(cr, "DejaVu Serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 20);
        cairo_move_to(cr, 54, 80);
        cairo_show_text(cr, QStringLiteral("Chapter %1").arg(page + 1).toUtf8().constData());
        cairo_pattern_t* shade = cairo_pattern_create_linear(54, 100, 541, 180);
        cairo_pattern_add_color_stop_rgb(shade, 0, 0.9, 0.9, 1);
        cairo_pattern_add_color_stop_rgb(shade, 1, 0.6, 0.7, 0.9);
        cairo_rectangle(cr, 54, 100, 487, 80);
        cairo_set_source(cr, shade);
        cairo_fill(cr);
        cairo_pattern_destroy(shade);
        cairo_set_source_rgb(cr, 0, 0, 0);
        for (int line = 0; line < 50; ++line) {
            const bool italic = line % 7 == 3;
            cairo_select_font_face(cr, line % 2 ? "DejaVu Sans" : "DejaVu Serif",
                                   italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                   CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, 10);
            cairo_move_to(cr, 54, 200 + line * 12.5);
            cairo_show_text(cr, words);
        }
        cairo_set_line_width(cr, 0.5);
        cairo_move_to(cr, 54, 815);
        cairo_line_to(cr, 541, 815);
        cairo_stroke(cr);
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok ? 0 : 1;
}
