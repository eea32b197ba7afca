// statements.h - every SQL statement the SQLite backend runs more than once,
// prepared once per connection and kept.
#ifndef KEEL_SQLITE_STATEMENTS_H
#define KEEL_SQLITE_STATEMENTS_H

namespace keel::sqlite {

enum class Sql {
  kBegin,
  kCommit,
  kRollback,
  kInsertObject,
  kFirstOfKind,
  kFirstAppNamed,
  kDeleteObject,
  kDeleteProperties,
  kPublishObject,
  kDescribeObject,
  kObjectExists,
  kReadProperty,
  kWriteProperty,
  kNextOfKind,
  kNextOfNumber,
  kNextOfNumberAndLabel,
  kNextOfLabel,
  kCardOfRef,
  kCountKind,
  kListKind,
  kNextProperty,
  kPropertiesOf,
  kReadMeta,
  kWriteMeta,
  kCount  // not a statement: how many there are
};

// The text of each statement, indexed by Sql.
//
// Objects are filed by `number` (a card's category, a macro's finger) and
// `label` (a card's domain, a shortcut's region, an App's name, as bytes).
// Each walk filter has an index that ends in the id, so that a walk step is
// one index seek ("id > ? ORDER BY id LIMIT 1"), never a scan.
//
// `owner` is the token of the open store that created a pending object
// (owners.h), NULL once it is published: walks, look-ups and lists see
// published objects and this store's own pending ones, whose token they
// bind as their last parameter.
#define SEEN_BY(param) "(owner IS NULL OR owner = ?" #param ")"
inline constexpr const char* kSqlText[] = {
    "BEGIN",
    "COMMIT",
    "ROLLBACK",
    "INSERT INTO objects(kind, parent, ref_num, number, label, owner) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
    "SELECT id FROM objects WHERE kind = ?1 ORDER BY id LIMIT 1",
    "SELECT id FROM objects WHERE kind = ?1 AND label = ?2 ORDER BY id LIMIT 1",
    "DELETE FROM objects WHERE id = ?1",
    "DELETE FROM properties WHERE object = ?1",
    "UPDATE objects SET owner = NULL WHERE id = ?1",
    "SELECT kind, parent, ref_num, number FROM objects WHERE id = ?1",
    "SELECT 1 FROM objects WHERE id = ?1",
    "SELECT attribute, value FROM properties WHERE object = ?1 AND number = ?2",
    "INSERT OR REPLACE INTO properties(object, number, attribute, value) VALUES(?1, ?2, ?3, ?4)",
    // Walk steps: the next ?5 objects of the filter after ?2.
    "SELECT id FROM objects WHERE kind = ?1 AND id > ?2 AND " SEEN_BY(6) " ORDER BY id LIMIT ?5",
    "SELECT id FROM objects WHERE kind = ?1 AND number = ?3 AND id > ?2 AND " SEEN_BY(6)
    " ORDER BY id LIMIT ?5",
    "SELECT id FROM objects WHERE kind = ?1 AND number = ?3 AND label = ?4 AND id > ?2 AND "
    SEEN_BY(6) " ORDER BY id LIMIT ?5",
    "SELECT id FROM objects WHERE kind = ?1 AND label = ?4 AND id > ?2 AND " SEEN_BY(6)
    " ORDER BY id LIMIT ?5",
    "SELECT id FROM objects WHERE ref_num = ?1 AND " SEEN_BY(2),  // only cards have one
    "SELECT count(*) FROM objects WHERE kind = ?1 AND " SEEN_BY(2),
    "SELECT id FROM objects WHERE kind = ?1 AND " SEEN_BY(2) " ORDER BY id",
    "SELECT number FROM properties WHERE object = ?1 AND number > ?2 ORDER BY number LIMIT 1",
    "SELECT number, attribute, value FROM properties WHERE object = ?1",
    "SELECT value FROM meta WHERE name = ?1",
    "INSERT OR REPLACE INTO meta(name, value) VALUES(?1, ?2)",
};
#undef SEEN_BY
static_assert(sizeof kSqlText / sizeof kSqlText[0] == static_cast<int>(Sql::kCount));

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_STATEMENTS_H
