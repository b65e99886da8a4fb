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
        # A name that is no UTF-8 (kept by surrogateescape) is stored readable.
        readable = trace.encode("utf-8", "surrogateescape").decode("utf-8", "replace")
        source = self.db.execute("INSERT INTO source (trace) VALUES (?)", (readable,)).lastrowid
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
            traces = [row[0] for row in self.db.execute(
                "SELECT DISTINCT trace FROM chunk JOIN source ON source.id = chunk.source WHERE sha1 = ?", (sha1,))]
            raise Failure("chunk %s has two sizes, %d and %d (in %s): a malformed trace or a SHA-1 collision"
                          % (sha1.hex(), size, other, ", ".join(traces)), BAD_INPUT)
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
