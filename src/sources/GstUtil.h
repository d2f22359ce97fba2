#pragma once

#include "GstRef.h"

#include <QString>
#include <gst/gst.h>

#include <initializer_list>

// Small helpers the device classes share to put their elements into the pipeline and take
// them out again, whatever state the pipeline is in.
namespace srcgst {

// Makes an element of the factory; null (with a log line) when the factory is missing.
GstElement* Make(const char* factory);

// Adds e to the bin under base, made unique inside the bin ("base", "base_2", ...), and takes
// a reference of the caller's own (a floating e is sunk). False when it cannot be added.
[[nodiscard]] bool AddOwned(GstBin* bin, GstElement* e, const char* base);

// Takes an element out of its bin: to NULL, removed (which unlinks it); the caller's
// reference stays.
void RemoveFromBin(GstElement* e);
// The same, then drops the holder's reference.
void RemoveOwned(TGstRef<GstElement>& e);

// Brings elements added to a running bin to its state, in the given order (pass them
// downstream first, so that nothing pushes into an element that is not running yet).
void SyncWithParent(std::initializer_list<GstElement*> elements);

// Unlinks the element's sink pads from upstream and waits (bounded) until no buffer is
// being pushed into them any more, so that it can be stopped without upsetting a running
// upstream element.
void DetachUpstream(GstElement* e);

// Releases every request pad of a tee (and unlinks it first).
void ReleaseRequestPads(GstElement* tee);

// The element's first source pad (static "src", else any source pad); a new ref or null.
GstPad* FirstSrcPad(GstElement* e);

// Output pads of a branch drop buffers while nothing (running) is linked to them, so that a
// branch can run before the graph module links its chain without stopping the stream.
void GuardOutputPad(GstPad* pad);

// Holds a ref of its own to pad (nullptr: none) in slot, in place of the one it held.
void SetOwnedPad(TGstRef<GstPad>& slot, GstPad* pad);

// The pipeline is running or on its way (its state or pending state is above NULL).
bool BinIsActive(GstBin* bin);

QString CapsText(const GstCaps* caps);

} // namespace srcgst
