/* Listeners that carry the user's property changes into a corvidAdaptor.
 * The adaptor attaches them while it is built; the property set owns them
 * from then on and disposes of them, which only returns their memory. */
#ifndef CORVID_LISTENERS_H
#define CORVID_LISTENERS_H

#include "imaqkit.h"

#include <cstdint>

class corvidAdaptor;

/* On every device property: an Exposure change goes to the camera at once,
 * and the adaptor keeps the exposure the driver reports back. */
class corvidPropListener : public IPropPostSetListener {
public:
  explicit corvidPropListener(corvidAdaptor *adaptor);
  void propertyWasSet(IPropertyRecord *record, const void *newValue) override;

private:
  corvidAdaptor *adaptor;
  IPropertyRecord *lastRecord;
  std::int32_t lastInteger;
  double lastReal;
  const void *lastKind1; /* the text of the last IMAQ_STORAGE_TEXT value, as passed */
  const void *lastKind5; /* the elements of the last IMAQ_STORAGE_DOUBLE_ARRAY value, as passed */
};

/* On SelectedSourceName: a change of source restarts a running acquisition,
 * whose new run sets the camera up again. */
class corvidSourceListener : public IPropPostSetListener {
public:
  explicit corvidSourceListener(corvidAdaptor *adaptor);
  void propertyWasSet(IPropertyRecord *record, const void *newValue) override;
  virtual void applySource();

private:
  corvidAdaptor *adaptor;
  std::int32_t sourceId;
};

#endif
