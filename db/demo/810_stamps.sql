-- Three stamps for the TIFF viewer's stamp list, painted here as 24-bit bitmaps: "Geprüft" (green),
-- "Bezahlt" (blue) and "Vertraulich" (red, password "geheim"). Stamps are documents of the pseudo
-- record dokseals / 0: pd_path is the stamp's name, pd_dokident its password, the file its picture.
CREATE TEMP TABLE glyph (ch text, r int, bits text);
INSERT INTO glyph (ch, r, bits)
SELECT g.ch, rows.r - 1, rows.bits
FROM (VALUES
    ('G', '01110 10001 10000 10111 10001 10001 01110'),
    ('E', '11111 10000 10000 11110 10000 10000 11111'),
    ('P', '11110 10001 10001 11110 10000 10000 10000'),
    ('R', '11110 10001 10001 11110 10100 10010 10001'),
    ('Ü', '01010 00000 10001 10001 10001 10001 01110'),
    ('F', '11111 10000 10000 11110 10000 10000 10000'),
    ('T', '11111 00100 00100 00100 00100 00100 00100'),
    ('B', '11110 10001 10001 11110 10001 10001 11110'),
    ('Z', '11111 00001 00010 00100 01000 10000 11111'),
    ('A', '01110 10001 10001 11111 10001 10001 10001'),
    ('H', '10001 10001 10001 11111 10001 10001 10001'),
    ('L', '10000 10000 10000 10000 10000 10000 11111'),
    ('V', '10001 10001 10001 10001 10001 01010 00100'),
    ('U', '10001 10001 10001 10001 10001 10001 01110'),
    ('C', '01110 10001 10000 10000 10000 10001 01110'),
    ('I', '01110 00100 00100 00100 00100 00100 01110')) AS g(ch, rows_text),
    LATERAL unnest(string_to_array(g.rows_text, ' ')) WITH ORDINALITY AS rows(bits, r);

CREATE FUNCTION pg_temp.le(v bigint, n int) RETURNS bytea LANGUAGE sql IMMUTABLE AS $$
    SELECT decode(string_agg(lpad(to_hex((v >> (8 * i)) & 255), 2, '0'), '' ORDER BY i), 'hex')
    FROM generate_series(0, n - 1) AS i
$$;

-- Letters 5 x 7 dots scaled by 5, one 30-pixel cell each; a double frame; white paper.
CREATE TEMP TABLE stamp_bmp AS
SELECT s.name, s.pw, d.w, d.h,
       decode('424d', 'hex') || pg_temp.le(54 + d.w * d.h * 3, 4) || pg_temp.le(0, 4)
       || pg_temp.le(54, 4) || pg_temp.le(40, 4) || pg_temp.le(d.w, 4) || pg_temp.le(d.h, 4)
       || pg_temp.le(1, 2) || pg_temp.le(24, 2) || pg_temp.le(0, 4) || pg_temp.le(d.w * d.h * 3, 4)
       || pg_temp.le(2835, 4) || pg_temp.le(2835, 4) || pg_temp.le(0, 4) || pg_temp.le(0, 4)
       || decode((
           SELECT string_agg(CASE WHEN
                   x < 4 OR x >= d.w - 4 OR y < 4 OR y >= d.h - 4
                   OR ((x IN (8, 9, d.w - 10, d.w - 9)) AND y BETWEEN 8 AND d.h - 9)
                   OR ((y IN (8, 9, d.h - 10, d.h - 9)) AND x BETWEEN 8 AND d.w - 9)
                   OR EXISTS (SELECT 1 FROM glyph g
                              WHERE x >= 15 AND (x - 15) % 30 < 25 AND y >= 22 AND y < 57
                                AND g.ch = substr(s.label, (x - 15) / 30 + 1, 1)
                                AND g.r = (y - 22) / 5
                                AND substr(g.bits, (x - 15) % 30 / 5 + 1, 1) = '1')
                   THEN s.ink ELSE 'ffffff' END, '' ORDER BY y DESC, x)
           FROM generate_series(0, d.h - 1) AS y, generate_series(0, d.w - 1) AS x), 'hex') AS bmp
FROM (VALUES ('Geprüft', 'GEPRÜFT', NULL, '008000'),
             ('Bezahlt', 'BEZAHLT', NULL, 'c00000'),
             ('Vertraulich', 'VERTRAULICH', 'geheim', '0000c8')) AS s(name, label, pw, ink),
     LATERAL (SELECT length(s.label) * 30 + 30 AS w, 80 AS h) AS d;

INSERT INTO dms_file (name, oid, sha256, size)
SELECT 'Stempel/' || name || '.bmp', lo_from_bytea(0, bmp), encode(sha256(bmp), 'hex'), length(bmp)
FROM stamp_bmp;

INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr, pd_path, pd_dokident, pd_dokumentfile,
                      pd_dmsremotefile, pd_source)
SELECT 'dokseals', 0, name, name, pw, name || '.bmp', 'Stempel/' || name || '.bmp', 'file'
FROM stamp_bmp;
