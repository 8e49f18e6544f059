#include "ComponentLoader.h"

#include "AdsConnection.h"
#include "AdsQuery.h"
#include "Exception.h"
#include "PrintDialog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

namespace {

using Factory = std::function<std::unique_ptr<QObject>()>;

template <class Component> Factory MakeFactory() {
    return [] {
        return std::make_unique<Component>();
    };
}

// The classes a layout description may name.
const std::map<QString, Factory> &Factories() {
    static const std::map<QString, Factory> factories{
        {QStringLiteral("TAdsConnection"), MakeFactory<TAdsConnection>()},
        {QStringLiteral("TAdsQuery"), MakeFactory<TAdsQuery>()},
        {QStringLiteral("TPrintDialog"), MakeFactory<TPrintDialog>()},
    };
    return factories;
}

class Loader {
public:
    explicit Loader(QString sourceName) : source_(std::move(sourceName)) {}

    [[noreturn]] void Fail(const QString &what) const {
        throw Exception(QStringLiteral("Layout description %1: %2").arg(source_, what));
    }

    std::unique_ptr<QObject> Create(const QJsonObject &declaration) const {
        const QString name = declaration.value(QLatin1String("name")).toString();
        if (name.isEmpty()) {
            Fail(QStringLiteral("a component has no name"));
        }
        const QString className = declaration.value(QLatin1String("class")).toString();
        const auto factory = Factories().find(className);
        if (factory == Factories().end()) {
            Fail(QStringLiteral("component '%1' has the unknown class '%2'").arg(name, className));
        }
        std::unique_ptr<QObject> component = factory->second();
        component->setObjectName(name);

        const QJsonValue properties = declaration.value(QLatin1String("properties"));
        if (!properties.isUndefined() && !properties.isArray()) {
            Fail(QStringLiteral("the properties of component '%1' are not a list").arg(name));
        }
        for (const QJsonValue &entry : properties.toArray()) {
            const QJsonObject setting = entry.toObject();
            if (!entry.isObject() || setting.size() != 1) {
                Fail(QStringLiteral("component '%1' has a property entry that is not one "
                                    "{ \"name\": value } pair")
                         .arg(name));
            }
            Apply(*component, setting.begin().key(), setting.begin().value());
        }
        return component;
    }

private:
    void Apply(QObject &component, const QString &property, const QJsonValue &value) const {
        const QMetaObject *meta = component.metaObject();
        const int index = meta->indexOfProperty(property.toUtf8().constData());
        if (index < 0) {
            Fail(QStringLiteral("component '%1' (%2) has no property '%3'")
                     .arg(component.objectName(), QLatin1String(meta->className()), property));
        }
        const QMetaProperty target = meta->property(index);
        if (!target.isWritable() ||
            !target.write(&component, Convert(component, target, property, value))) {
            Fail(QStringLiteral("property '%1' of component '%2' cannot be set to %3")
                     .arg(property, component.objectName(), Shown(value)));
        }
    }

    QVariant Convert(const QObject &component, const QMetaProperty &target, const QString &property,
                     const QJsonValue &value) const {
        const auto wrongType = [&] {
            Fail(QStringLiteral("property '%1' of component '%2' cannot take the value %3")
                     .arg(property, component.objectName(), Shown(value)));
        };
        if (target.isEnumType()) {
            if (!value.isString()) {
                wrongType();
            }
            const QMetaEnum enumeration = target.enumerator();
            const QByteArray keys = value.toString().toUtf8();
            bool ok = false;
            const int number = enumeration.isFlag() ? enumeration.keysToValue(keys.constData(), &ok)
                                                    : enumeration.keyToValue(keys.constData(), &ok);
            if (!ok) {
                wrongType();
            }
            // The property's own type, so that the write does not depend on an int conversion.
            return QVariant(target.metaType(), &number);
        }
        switch (target.typeId()) {
        case QMetaType::Bool:
            if (!value.isBool()) {
                wrongType();
            }
            return value.toBool();
        case QMetaType::QString:
            if (!value.isString()) {
                wrongType();
            }
            return value.toString();
        case QMetaType::Int: {
            const double number = value.toDouble();
            if (!value.isDouble() || number != static_cast<double>(static_cast<int>(number))) {
                wrongType();
            }
            return static_cast<int>(number);
        }
        case QMetaType::QStringList: {
            if (!value.isArray()) {
                wrongType();
            }
            QStringList lines;
            for (const QJsonValue &line : value.toArray()) {
                if (!line.isString()) {
                    wrongType();
                }
                lines.append(line.toString());
            }
            return lines;
        }
        default:
            Fail(QStringLiteral("property '%1' of component '%2' has a type (%3) that a layout "
                                "description cannot set")
                     .arg(property, component.objectName(),
                          QLatin1String(target.metaType().name())));
        }
    }

    static QString Shown(const QJsonValue &value) {
        QJsonArray wrapper{value};
        QByteArray text = QJsonDocument(wrapper).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(text.mid(1, text.size() - 2));
    }

    QString source_;
};

} // namespace

void LoadComponents(QObject &owner, const QByteArray &description, const QString &sourceName) {
    const Loader loader(sourceName);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(description, &error);
    if (error.error != QJsonParseError::NoError) {
        loader.Fail(QStringLiteral("is not valid JSON (%1 at offset %2)")
                        .arg(error.errorString(), QString::number(error.offset)));
    }
    const QJsonValue components = document.object().value(QLatin1String("components"));
    if (!components.isArray()) {
        loader.Fail(QStringLiteral("has no list of components"));
    }
    // All or nothing: the owner receives the components only once every one is configured.
    std::vector<std::unique_ptr<QObject>> created;
    for (const QJsonValue &declaration : components.toArray()) {
        if (!declaration.isObject()) {
            loader.Fail(QStringLiteral("has a component that is not an object"));
        }
        std::unique_ptr<QObject> component = loader.Create(declaration.toObject());
        if (owner.findChild<QObject *>(component->objectName(), Qt::FindDirectChildrenOnly) !=
                nullptr ||
            std::any_of(created.begin(), created.end(), [&](const auto &other) {
                return other->objectName() == component->objectName();
            })) {
            loader.Fail(
                QStringLiteral("declares the name '%1' twice").arg(component->objectName()));
        }
        created.push_back(std::move(component));
    }
    for (std::unique_ptr<QObject> &component : created) {
        component.release()->setParent(&owner);
    }
}

void LoadComponentsFromFile(QObject &owner, const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Exception(QStringLiteral("Cannot read the layout description %1: %2")
                            .arg(path, file.errorString()));
    }
    LoadComponents(owner, file.readAll(), path);
}
