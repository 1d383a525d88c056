#include "model/PinnedFolder.h"

#include "model/JsonReader.h"

namespace tarn {

QString rawValue(SortKey key) {
    switch (key) {
    case SortKey::name: return QStringLiteral("name");
    case SortKey::dateModified: return QStringLiteral("dateModified");
    case SortKey::dateCreated: return QStringLiteral("dateCreated");
    case SortKey::size: return QStringLiteral("size");
    case SortKey::kind: return QStringLiteral("kind");
    }
    return {};
}

QJsonObject FolderOptions::toJson() const {
    return {{"sort", rawValue(sort)},
            {"ascending", ascending},
            {"foldersFirst", foldersFirst},
            {"showHidden", showHidden},
            {"hideWhenEmpty", hideWhenEmpty},
            {"itemLimit", itemLimit}};
}

std::optional<FolderOptions> FolderOptions::fromJson(const QJsonValue& json) {
    JsonReader read(json);
    const FolderOptions defaults;
    FolderOptions options;
    options.sort = read.enumeration("sort", defaults.sort);
    options.ascending = read.boolean("ascending", defaults.ascending);
    options.foldersFirst = read.boolean("foldersFirst", defaults.foldersFirst);
    options.showHidden = read.boolean("showHidden", defaults.showHidden);
    options.hideWhenEmpty = read.boolean("hideWhenEmpty", defaults.hideWhenEmpty);
    options.itemLimit = read.integer("itemLimit", defaults.itemLimit);
    if (!read.ok()) return std::nullopt;
    return options;
}

QJsonObject PinnedFolder::toJson() const {
    QJsonObject json{{"path", path}, {"inline", inline_}, {"options", options.toJson()}};
    if (editorID) json.insert("editorID", *editorID);
    return json;
}

std::optional<PinnedFolder> PinnedFolder::fromJson(const QJsonValue& json) {
    JsonReader read(json);
    PinnedFolder folder;
    folder.path = read.string("path");
    folder.inline_ = read.boolean("inline", false);
    folder.editorID = read.optionalString("editorID");
    const QJsonValue options = json.toObject().value("options");
    if (!options.isUndefined() && !options.isNull()) {
        if (auto decoded = FolderOptions::fromJson(options))
            folder.options = *decoded;
        else
            read.fail();
    }
    if (!read.ok()) return std::nullopt;
    return folder;
}

size_t qHash(const FolderOptions& o, size_t seed) {
    return qHashMulti(seed, qToUnderlying(o.sort), o.ascending, o.foldersFirst, o.showHidden, o.hideWhenEmpty,
                      o.itemLimit);
}

size_t qHash(const PinnedFolder& f, size_t seed) {
    return qHashMulti(seed, f.path, f.inline_, f.options, f.editorID.value_or(QString()),
                      f.editorID.has_value());
}

} // namespace tarn
