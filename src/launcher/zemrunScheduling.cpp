#include "zemrunScheduling.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../settings/zemrunProjects.h"
#include "../settings/zemrunSchedule.h"
#include "zemrunBatchStatus.h"
#include "zemrunU.h"

namespace {
constexpr uint32_t BadParameterStatus = 87; // the system's "The parameter is incorrect."
constexpr uint32_t NotScheduledStatus = 1;

// Tells what became of it; the status of a failure is 255 where failures count.
uint32_t Told(TLauncherFace& face, const TRunRequest& request, TScheduleNotice notice,
              uint32_t status) {
    face.Tell(notice);
    const bool failed = status != 0 && notice.kind != TScheduleNotice::NotScheduled;
    return failed && request.settings.Halt != NoHalt ? RunNotDoneStatus : status;
}

// How the project runs by itself, as its task says; a task whose project is gone is told
// so, for /SCHEDULE:off to take away.
uint32_t TellSchedule(TvxTaskStore& tasks, TLauncherFace& face, const TRunRequest& request) {
    const std::string& project = request.project;
    uint32_t error = 0;
    const std::optional<std::string> xml = tasks.Xml(TaskName(project), error);
    if (error) return Told(face, request, {TScheduleNotice::Failed, project, {}, error}, error);
    if (!xml)
        return Told(face, request, {TScheduleNotice::NotScheduled, project, {}},
                    NotScheduledStatus);
    const std::string form = ScheduleText(ScheduleOfTaskXml(*xml));
    const auto kind =
        Projects().Contains(project) ? TScheduleNotice::Shown : TScheduleNotice::ProjectGone;
    return Told(face, request, {kind, project, form}, 0);
}
} // namespace

uint32_t ScheduleProject(TvxTaskStore& tasks, TLauncherFace& face, const TRunRequest& request,
                         const TScheduleContext& context) {
    const std::string& project = request.project;
    if (project.empty())
        return Told(face, request, {TScheduleNotice::NeedsProject, {}, {}}, BadParameterStatus);
    if (request.schedule->empty()) return TellSchedule(tasks, face, request);
    const std::optional<TSchedule> schedule = ReadSchedule(*request.schedule);
    if (!schedule)
        return Told(face, request, {TScheduleNotice::BadForm, project, *request.schedule},
                    BadParameterStatus);
    // Off also takes away the task of a project that is gone.
    if (schedule->kind == TSchedule::Off) {
        const uint32_t error = tasks.Remove(TaskName(project));
        if (error) return Told(face, request, {TScheduleNotice::Failed, project, {}, error}, error);
        return Told(face, request, {TScheduleNotice::Removed, project, {}}, 0);
    }
    if (!Projects().Contains(project))
        return Told(face, request, {TScheduleNotice::NoProject, project, {}}, FileNotFoundError);
    if (const TNameInTask name = NameInTask(project); name != TNameInTask::Passes) {
        const auto kind = name == TNameInTask::HoldsQuote ? TScheduleNotice::QuoteInName
                                                          : TScheduleNotice::VariableInName;
        return Told(face, request, {kind, project, {}}, BadParameterStatus);
    }
    const uint32_t error = tasks.Register(
        TaskName(project), TaskXml(project, context.program, *schedule, context.user, context.now));
    if (error) return Told(face, request, {TScheduleNotice::Failed, project, {}, error}, error);
    // One way to run by itself a project: the task takes the place of a logon shortcut.
    const std::string startup = ProjectShortcutPath(CSIDL_STARTUP_ID, project);
    if (PathExists(startup)) RemoveFile(startup);
    return Told(face, request, {TScheduleNotice::Registered, project, ScheduleText(*schedule)}, 0);
}
