/* The built-in English texts, shared by the resource script's string table and by the
   portable build's table. Plain C preprocessor only: the resource compiler reads it. */
#ifndef ZEMRUN_STRINGS_H
#define ZEMRUN_STRINGS_H

#define ZS_1 "Cancel"
#define ZS_2 "Skip"
#define ZS_10 "Usage: zemrun.exe <filename> or \nzemrun.exe /L:<listfile> [/X:<execute program>] [/B:<before param>] [/E:<end param>] [/W] [/S] [/P] [/R:<RegExp>] [/G:<gui mode>] [/I] [/F:<pause>] [/M:<window mode>] [/O:<priority>] [/J:<project>] [/N:<jobs>] [/K:<job log>] [/Z] [/D[:<preview file>]] [/C:<list encoding>] [/A <item>...]\nSee readme.txt for more information"
#define ZS_11 "The list encoding is not known on this system:"
#define ZS_12 "Name OEM, ANSI, UTF-8, UTF-16 or the number of a code page."
#define ZS_101 "List"
#define ZS_102 "Executable"
#define ZS_103 "Begin parameters"
#define ZS_104 "End Parameters"
#define ZS_105 "RegExp"
#define ZS_106 "Wait open"
#define ZS_107 "Wait close"
#define ZS_108 "Pause after first file"
#define ZS_109 "ms"
#define ZS_110 "GUI mode"
#define ZS_111 "Execution type"
#define ZS_112 "Window mode"
#define ZS_113 "Priority"
#define ZS_114 "Projects"
#define ZS_115 "Load"
#define ZS_116 "Save"
#define ZS_117 "Language"
#define ZS_118 "Parallel"
#define ZS_119 "Job log"
#define ZS_120 "Resume"
#define ZS_121 "Preview"
#define ZS_122 "List encoding"
#define ZS_123 "Dropped items:"
#define ZS_200 "Save as project"
#define ZS_201 "Name"
#define ZS_202 "Save to project..."
#define ZS_203 "Select all"
#define ZS_204 "Clear all"
#define ZS_205 "Add to the Send To menu"
#define ZS_300 "Commands to run"
#define ZS_301 "Copy"
#define ZS_302 "Run"
#define ZS_1100 "No progress dialog"
#define ZS_1101 "No progress dialog if only one file in list"
#define ZS_1102 "Progress dialog only if /P key used"
#define ZS_1103 "Show progress dialog anyway"
#define ZS_1110 "CreateProcess"
#define ZS_1111 "ShellExecute"
#define ZS_1115 "Normal"
#define ZS_1116 "Minimized"
#define ZS_1117 "Maximized"
#define ZS_1120 "Normal"
#define ZS_1121 "Idle"
#define ZS_1122 "High"
#define ZS_1123 "RealTime"

/* X-macro over every id, for tables built from this list. */
#define ZEMRUN_STRING_IDS(X) \
    X(1) X(2) X(10) X(11) X(12) X(101) X(102) X(103) X(104) X(105) X(106) X(107) X(108) X(109) X(110) \
    X(111) X(112) X(113) X(114) X(115) X(116) X(117) X(118) X(119) X(120) X(121) X(122) X(123) X(200) X(201) \
    X(202) X(203) X(204) X(205) X(300) X(301) X(302) \
    X(1100) X(1101) X(1102) X(1103) X(1110) X(1111) X(1115) X(1116) X(1117) X(1120) X(1121) \
    X(1122) X(1123)

#define ZEMRUN_VERSION_TEXT "1.0.0"
#define ZEMRUN_VERSION_NUMBERS 1, 0, 0, 0

#endif
