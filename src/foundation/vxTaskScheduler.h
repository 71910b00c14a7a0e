#pragma once
// The tasks of one folder of the Task Scheduler, by name, as task XML. On Windows through
// the Task Scheduler's COM interface (ITaskService), which takes a task as XML: no command
// line is composed, so a name is escaped once, as XML.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TvxTaskStore {
  public:
    virtual ~TvxTaskStore() = default;
    // Each call gives 0, or the error (an HRESULT) why not: the service does not run,
    // access is denied, the XML is refused.
    virtual uint32_t Register(const std::string& name, const std::string& xml) = 0;
    // 0 also where there is no task of that name.
    virtual uint32_t Remove(const std::string& name) = 0;
    // The XML of the task of that name; none where there is none (error 0) or it cannot be
    // read.
    virtual std::optional<std::string> Xml(const std::string& name, uint32_t& error) = 0;
};

// The Task Scheduler's folder of that name below its root, made where a task is registered.
class TvxTaskFolder : public TvxTaskStore {
  public:
    explicit TvxTaskFolder(std::string folder) : folder_(std::move(folder)) {}
    uint32_t Register(const std::string& name, const std::string& xml) override;
    uint32_t Remove(const std::string& name) override;
    std::optional<std::string> Xml(const std::string& name, uint32_t& error) override;
    // Removes every task of the folder, and the folder; 0 also where there is none. Where
    // the service cannot list a folder (Wine's), the tasks of the names given are removed.
    uint32_t RemoveAll(const std::vector<std::string>& names);

  private:
    std::string folder_;
};

// The user whose tasks they are, as a logon trigger names them: DOMAIN\name.
std::string CurrentUser();
