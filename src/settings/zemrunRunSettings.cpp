#include "zemrunRunSettings.h"

void SetDefaultOptions(TOptions& options) {
    options.List.clear();
    options.Exe.clear();
    options.BParam.clear();
    options.Eparam.clear();
    options.RegExp.clear();
    options.WaitOpen = true;
    options.WaitClose = false;
    options.ShellExecute = false;
    options.FirstPause = 1000;
    options.GUI = 1;
    options.Window = 1;
    options.Priority = 0;
    options.Jobs = 1;
    options.JobLog.clear();
    options.Resume = false;
    options.Encoding.clear();
    options.TimeLimit = 0;
    options.Retries = 0;
    options.ItemsPerCommand = 1;
    options.ShowFailures = ShowFailuresByEntry;
    options.Halt = NoHalt;
    options.OutputFolder.clear();
    options.WatchFolder.clear();
    options.SettleTime = DefaultSettleTime;
    options.Match.clear();
    options.Subfolders = false;
    options.DoneFolder.clear();
    options.FailedFolder.clear();
    options.Items.clear();
}
