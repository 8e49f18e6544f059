#pragma once

#include <QByteArray>
#include <QString>

class QObject;

// Creates the non-visual components of a form from its layout description (JSON):
//   { "components": [ { "name": N, "class": C, "properties": [ { P: V }, ... ] }, ... ] }
// Each component becomes a child of `owner` with objectName N; its properties are set by their
// Q_PROPERTY name in the order written. A string sets a text or an enumeration (flags joined
// with '|'), true/false a flag, a number an integer, an array of strings a string list.
// Anything unknown or mistyped raises an Exception naming the description, the component and
// the property: a form must never come up half configured.
void LoadComponents(QObject &owner, const QByteArray &description, const QString &sourceName);

// The same, reading the description from a file or a Qt resource (":/...").
void LoadComponentsFromFile(QObject &owner, const QString &path);
