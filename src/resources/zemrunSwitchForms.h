/* The switches in the order the usage message shows them, each with the form it shows:
   ROW(name, form). The name is a letter or a word; the program's table of switches is
   made from this list, so that every switch it reads is shown and every one shown is
   read. Plain C preprocessor only: the resource compiler reads it. */
#ifndef ZEMRUN_SWITCH_FORMS_H
#define ZEMRUN_SWITCH_FORMS_H

#define ZEMRUN_SWITCH_FORMS(ROW)                                                                   \
    ROW(L, "/L:<listfile|->")                                                                      \
    ROW(X, "[/X:<execute program>]")                                                               \
    ROW(B, "[/B:<before param>]")                                                                  \
    ROW(E, "[/E:<end param>]")                                                                     \
    ROW(W, "[/W]")                                                                                 \
    ROW(S, "[/S]")                                                                                 \
    ROW(P, "[/P]")                                                                                 \
    ROW(R, "[/R:<RegExp>]")                                                                        \
    ROW(G, "[/G:<gui mode>]")                                                                      \
    ROW(I, "[/I]")                                                                                 \
    ROW(F, "[/F:<pause>]")                                                                         \
    ROW(M, "[/M:<window mode>]")                                                                   \
    ROW(O, "[/O:<priority>]")                                                                      \
    ROW(J, "[/J:<project>]")                                                                       \
    ROW(N, "[/N:<jobs>[%]]")                                                                       \
    ROW(K, "[/K:<job log>]")                                                                       \
    ROW(Z, "[/Z]")                                                                                 \
    ROW(D, "[/D[:<preview file>]]")                                                                \
    ROW(C, "[/C:<list encoding>]")                                                                 \
    ROW(T, "[/T:<seconds>]")                                                                       \
    ROW(Y, "[/Y:<retries>]")                                                                       \
    ROW(H, "[/H[:<failures>]]")                                                                    \
    ROW(U, "[/U:<output folder>]")                                                                 \
    ROW(ITEMS, "[/ITEMS:<count>]")                                                                 \
    ROW(FAILURES, "[/FAILURES[:0]]")                                                               \
    ROW(WATCH, "[/WATCH:<folder>]")                                                                \
    ROW(UNWATCH, "[/UNWATCH:<folder>]")                                                            \
    ROW(SETTLE, "[/SETTLE:<seconds>]")                                                             \
    ROW(MATCH, "[/MATCH:<patterns>]")                                                              \
    ROW(SUBFOLDERS, "[/SUBFOLDERS]")                                                               \
    ROW(DONE, "[/DONE:<folder>]")                                                                  \
    ROW(FAILED, "[/FAILED:<folder>]")                                                              \
    ROW(MEMFREE, "[/MEMFREE:<size>]")                                                              \
    ROW(LOAD, "[/LOAD:<percent>]")                                                                 \
    ROW(DELAY, "[/DELAY:<seconds>]")                                                               \
    ROW(SET, "[/SET:<name>=<value>]")                                                              \
    ROW(SCHEDULE, "[/SCHEDULE[:<when>]]")                                                          \
    ROW(INSTALL, "[/INSTALL]")                                                                     \
    ROW(UNINSTALL, "[/UNINSTALL]")                                                                 \
    ROW(A, "[/A <item or pattern>...]")

/* The forms one after another, each after a blank. */
#define ZEMRUN_SWITCH_FORM_TEXT(name, form) " " form

#endif
