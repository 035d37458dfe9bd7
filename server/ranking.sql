-- The shared high-score boards of タイプ闘記 (typetoki) on PostgreSQL.
--
-- Run by the database's owner, once, and again after each update of the
-- game (what exists is kept):
--     psql -v ON_ERROR_STOP=1 -d typetoki -f ranking.sql
-- Players log in with roles of their own, made members of typetoki_player,
-- which may read the boards and add results and do nothing else: nobody can
-- change or delete a result, not even their own.
--
-- Layout version 1. A later layout adds its steps at the end, each guarded
-- by the version it starts from, and raises the version in the same
-- transaction; the game reads the boards of any version it knows and sends
-- nothing to a newer one.

BEGIN;

DO $$
BEGIN
    CREATE ROLE typetoki_player NOLOGIN;
EXCEPTION WHEN duplicate_object THEN
    NULL;
END
$$;

CREATE SCHEMA IF NOT EXISTS typetoki;
REVOKE ALL ON SCHEMA typetoki FROM PUBLIC;

CREATE TABLE IF NOT EXISTS typetoki.layout (
    version integer NOT NULL
);
INSERT INTO typetoki.layout (version)
    SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM typetoki.layout);

-- One registered result. The texts are the board's own, as the player's
-- copy of the game showed and stored them; the numbers are what they read
-- as, which the boards rank by. serial orders equal values, earlier first,
-- as the local board orders them; sent_by and received_at are the server's
-- own account of who sent what and when, and no player may set them.
CREATE TABLE IF NOT EXISTS typetoki.scores (
    serial           bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    result_id        uuid NOT NULL UNIQUE,
    group_name       text NOT NULL CHECK (length(group_name) BETWEEN 1 AND 100),
    mode             smallint NOT NULL,
    time_limit       smallint NOT NULL,
    player           text NOT NULL CHECK (length(player) <= 100),
    points_text      text NOT NULL CHECK (length(points_text) <= 40),
    correct_text     text NOT NULL CHECK (length(correct_text) <= 40),
    speed_text       text NOT NULL CHECK (length(speed_text) <= 40),
    accuracy_text    text NOT NULL CHECK (length(accuracy_text) <= 40),
    played_at        text NOT NULL CHECK (length(played_at) <= 100),
    points           double precision NOT NULL,
    correct_chars    double precision NOT NULL,
    chars_per_second double precision NOT NULL,
    accuracy         double precision NOT NULL,
    sent_by          name NOT NULL DEFAULT current_user,
    received_at      timestamptz NOT NULL DEFAULT now()
);

-- A board is one group, mode and time limit ranked by one value: an index
-- for each of the four rankings finds its top ten without a sort.
CREATE INDEX IF NOT EXISTS scores_by_points
    ON typetoki.scores (group_name, mode, time_limit, points DESC, serial);
CREATE INDEX IF NOT EXISTS scores_by_correct_chars
    ON typetoki.scores (group_name, mode, time_limit, correct_chars DESC, serial);
CREATE INDEX IF NOT EXISTS scores_by_chars_per_second
    ON typetoki.scores (group_name, mode, time_limit, chars_per_second DESC, serial);
CREATE INDEX IF NOT EXISTS scores_by_accuracy
    ON typetoki.scores (group_name, mode, time_limit, accuracy DESC, serial);

-- What the boards read: every result, without the server's own columns.
CREATE OR REPLACE VIEW typetoki.board AS
    SELECT serial, group_name, mode, time_limit, player,
           points_text, correct_text, speed_text, accuracy_text, played_at,
           points, correct_chars, chars_per_second, accuracy
    FROM typetoki.scores;

-- The layout the game checks before it sends.
CREATE OR REPLACE VIEW typetoki.layout_version AS
    SELECT max(version) AS version FROM typetoki.layout;

REVOKE ALL ON ALL TABLES IN SCHEMA typetoki FROM PUBLIC;
GRANT USAGE ON SCHEMA typetoki TO typetoki_player;
GRANT SELECT ON typetoki.board, typetoki.layout_version TO typetoki_player;
GRANT INSERT (result_id, group_name, mode, time_limit, player,
              points_text, correct_text, speed_text, accuracy_text, played_at,
              points, correct_chars, chars_per_second, accuracy)
    ON typetoki.scores TO typetoki_player;

COMMIT;
