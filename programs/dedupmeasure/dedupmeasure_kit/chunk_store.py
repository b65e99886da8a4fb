"""The SQLite database merge builds: every chunk row of every trace, then
one row per distinct chunk, from which all figures are sums.

  source(id, trace)                      one per trace, in command-line order
  chunk(source, sha1, size)              one per trace row; sha1 as 20 bytes
  fingerprint(sha1, size, other_size, chunks, bytes, first_source, last_source)
                                         one per distinct sha1; other_size differs
                                         from size only for a malformed input

Rows are inserted in batches and aggregated by SQLite, which sorts on disk:
memory stays bounded however long the traces are."""
import sqlite3

from .failures import BAD_INPUT, OUTPUT_FAILED, Failure

BATCH_ROWS = 50000
# SQLite's page cache: the only memory that grows with the data, up to this.
# A larger cache measured slower.
CACHE_KIB = 2048

# A signal is handled only when Python code runs: a call into Python every so
# many steps of SQLite lets it in during a long statement (the aggregation).
SIGNAL_STEPS = 100000

# The file is thrown away on any failure, so no journal is needed.
SETTINGS = ["PRAGMA journal_mode = OFF", "PRAGMA synchronous = OFF", "PRAGMA temp_store = FILE",
            "PRAGMA cache_size = -%d" % CACHE_KIB]

SCHEMA = ["CREATE TABLE source (id INTEGER PRIMARY KEY, trace TEXT NOT NULL)",
          "CREATE TABLE chunk (source INTEGER NOT NULL, sha1 BLOB NOT NULL, size INTEGER NOT NULL)"]

FINGERPRINTS = ["""
CREATE TABLE fingerprint (sha1 BLOB PRIMARY KEY, size INTEGER NOT NULL, other_size INTEGER NOT NULL,
                          chunks INTEGER NOT NULL, bytes INTEGER NOT NULL,
                          first_source INTEGER NOT NULL, last_source INTEGER NOT NULL) WITHOUT ROWID""", """
INSERT INTO fingerprint
  SELECT sha1, MIN(size), MAX(size), COUNT(*), SUM(size), MIN(source), MAX(source)
  FROM chunk GROUP BY sha1 ORDER BY sha1"""]


def readable(trace):
    """A trace's name as the store keeps it: a name that is no UTF-8 (kept
    by surrogateescape) is made readable."""
    return trace.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def two_sizes(sha1, size, other, traces):
    """The refusal of a sha1 (20 bytes) seen with two sizes in the traces
    (their readable names, in command-line order)."""
    return Failure("chunk %s has two sizes, %d and %d (in %s): a malformed trace or a SHA-1 collision"
                   % (sha1.hex(), size, other, ", ".join(traces)), BAD_INPUT)


class ChunkStore:
    def __init__(self, path, name):
        """A new database at path; name is how messages call it."""
        try:
            # Transactions are begun and committed here, not by the module.
            self.db = sqlite3.connect(path, isolation_level=None)
            self.db.set_progress_handler(lambda: 0, SIGNAL_STEPS)
            for statement in SETTINGS + ["BEGIN"] + SCHEMA:
                self.db.execute(statement)
        except sqlite3.Error as error:
            raise Failure("cannot create the database %s: %s" % (name, error), OUTPUT_FAILED)
        self.loaded = 0  # chunk rows stored so far

    def close(self):
        self.db.close()

    def load(self, trace, rows, on_batch):
        """Stores the (sha1, size) rows of the trace named trace; on_batch(n)
        is called with the rows loaded so far by this store."""
        source = self.db.execute("INSERT INTO source (trace) VALUES (?)", (readable(trace),)).lastrowid
        batch = []
        for sha1, size in rows:
            batch.append((source, sha1, size))
            if len(batch) == BATCH_ROWS:
                self._insert(batch, on_batch)
        self._insert(batch, on_batch)

    def _insert(self, batch, on_batch):
        self.db.executemany("INSERT INTO chunk (source, sha1, size) VALUES (?, ?, ?)", batch)
        self.loaded += len(batch)
        batch.clear()
        on_batch(self.loaded)

    def aggregate(self):
        """Builds the fingerprint table; refuses a sha1 seen with two sizes."""
        for statement in FINGERPRINTS:
            self.db.execute(statement)
        clash = self.db.execute("SELECT sha1, size, other_size FROM fingerprint WHERE size != other_size "
                                "LIMIT 1").fetchone()
        if clash:
            sha1, size, other = clash
            raise two_sizes(sha1, size, other, [row[0] for row in self.db.execute(
                "SELECT trace FROM source WHERE id IN (SELECT source FROM chunk WHERE sha1 = ?) "
                "GROUP BY trace ORDER BY MIN(id)", (sha1,))])
        self.db.execute("COMMIT")

    def totals(self):
        """(chunks, distinct chunks, bytes, unique bytes) over every trace."""
        chunks, distinct, total, unique = self.db.execute(
            "SELECT COALESCE(SUM(chunks), 0), COUNT(*), COALESCE(SUM(bytes), 0), COALESCE(SUM(size), 0) "
            "FROM fingerprint").fetchone()
        return chunks, distinct, total, unique

    def sources(self):
        """[(bytes, bytes only here)] per trace in command-line order. A chunk's
        bytes are only here when every row of its sha1 is in one trace."""
        return self.db.execute("""
            SELECT COALESCE(held.bytes, 0), COALESCE(alone.bytes, 0)
            FROM source
            LEFT JOIN (SELECT source, SUM(size) AS bytes FROM chunk GROUP BY source) AS held
                   ON held.source = source.id
            LEFT JOIN (SELECT first_source AS source, SUM(bytes) AS bytes FROM fingerprint
                       WHERE first_source = last_source GROUP BY first_source) AS alone
                   ON alone.source = source.id
            ORDER BY source.id""").fetchall()

    def squares(self):
        """(the sum of the squares of the distinct chunks' sizes, the sum over
        distinct chunks of the square of their rows less one): exact, in
        Python's integers, which SQLite's would not hold."""
        sizes = sum(size * size for (size,) in self.db.execute("SELECT size FROM fingerprint"))
        repeats = sum((chunks - 1) ** 2 for (chunks,) in self.db.execute(
            "SELECT chunks FROM fingerprint WHERE chunks > 1"))
        return sizes, repeats

    def source_squares(self):
        """Per trace in command-line order, over each distinct chunk's bytes in
        it: [alone, squares of alone, shared, squares of shared], alone for the
        chunks no other trace holds."""
        sums = {source: [0, 0, 0, 0] for (source,) in self.db.execute("SELECT id FROM source ORDER BY id")}
        for source, held, alone in self.db.execute("""
                SELECT held.source, held.bytes, fingerprint.first_source = fingerprint.last_source
                FROM (SELECT source, sha1, SUM(size) AS bytes FROM chunk GROUP BY source, sha1) AS held
                JOIN fingerprint ON fingerprint.sha1 = held.sha1"""):
            kept = sums[source]
            at = 0 if alone else 2
            kept[at] += held
            kept[at + 1] += held * held
        return [sums[source] for source in sorted(sums)]
