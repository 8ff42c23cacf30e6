// The source list and property maker an adaptor fills in
// getDeviceAttributes.
#ifndef IMAQKIT_SRC_ATTRIBUTES_H
#define IMAQKIT_SRC_ATTRIBUTES_H

#include "imaqkit.h"
#include "imaqkit_engine.h"

#include <memory>
#include <string>
#include <vector>

struct ImaqPropertyHandle {
  imaqkit::PropertyInfo info;
  bool committed = false;
};

namespace imaqkit::detail {

class SourceList final : public ISourceList {
public:
  void appendSource(const char *name, std::int32_t id) override;
  const std::vector<SourceInfo> &sources() const { return sources_; }

private:
  std::vector<SourceInfo> sources_;
};

class PropertyMaker final : public IPropertyMaker {
public:
  ImaqPropertyHandle *newRealProperty(const char *name, double lowerBound, double upperBound,
                                      double defaultValue) override;
  void commitProperty(ImaqPropertyHandle *property) override;
  void setReadOnlyMode(ImaqPropertyHandle *property, const char *mode) override;

  /* The committed properties, in commit order, as they stand now. */
  std::vector<PropertyInfo> properties() const;
  /* Every call made on this maker, in order (see DeviceAttributes). */
  const std::vector<std::string> &calls() const { return calls_; }

private:
  bool ours(const ImaqPropertyHandle *property) const;

  std::vector<std::unique_ptr<ImaqPropertyHandle>> made_;
  std::vector<const ImaqPropertyHandle *> committed_;
  std::vector<std::string> calls_;
};

/* Reads a read-only mode word; false for a word the kit does not know. */
bool parseReadOnly(const char *word, ReadOnly *mode);

} // namespace imaqkit::detail

#endif
