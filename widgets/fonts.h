// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Font set-up for the layouts, which were drawn for Windows at 96 dpi. Call once, after the
// application object exists and before a form is built.
//
// The layouts name Windows faces: MS Sans Serif, Times New Roman and Courier New. Where a face is
// missing, Qt takes the first installed one of its substitutes, chosen for the same metrics:
// MS Sans Serif → Microsoft Sans Serif, Liberation Sans, Arial, DejaVu Sans;
// Times New Roman → Liberation Serif, DejaVu Serif; Courier New → Liberation Mono, DejaVu Sans Mono.
//
// The application font also asks for fully hinted glyphs, whose advances are whole pixels as on
// those screens. The captions and the traffic log were fitted to such advances: Courier New 9 pt
// takes 7 pixels a character, so a 43-character reply line fills the 301 pixels of a reply row of
// the 640 x 480 layout; a blank of Times New Roman 9.75 pt takes 3 pixels, not 3.25, which keeps
// the long runs of blanks in the column headings of the 800 x 600 layout clear of its lamps.
void installFontSubstitutions();
