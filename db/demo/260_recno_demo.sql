-- Notes, resubmissions, keywords, a record parameter and documents for the first addresses of the
-- address module (in its order: by name), so that its status bar has something to show.
CREATE TEMP TABLE demo_first AS
SELECT dbrid, row_number() OVER (ORDER BY name, dbrid) AS n
  FROM adressen ORDER BY name, dbrid LIMIT 5;

UPDATE adressen SET telefon = telefon WHERE dbrid = (SELECT dbrid FROM demo_first WHERE n = 1);

INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_parent_dbrid, rc_date, rc_user, rc_betreff,
                           rc_text, rc_category, insert_by)
SELECT 'adressen', f.dbrid, p.dbrid, v.d, v.u, v.b, v.t, v.c, v.u
  FROM (VALUES
        (1, NULL::int, timestamp '2026-11-02 09:15', 'mueller', 'Rückruf erbeten',
         'Herr Becker bittet um Rückruf wegen der offenen Rechnung vom Oktober.', 'TEL'),
        (1, NULL, timestamp '2026-10-12 14:40', 'admin', 'Besuch vereinbart',
         'Vorstellung der neuen Produktlinie beim Kunden vor Ort.', 'BES'),
        (2, 1, timestamp '2026-11-20 11:05', 'mueller', 'Lieferadresse gehört zu Hauptkunde',
         'Diese Adresse ist die Lieferanschrift des Hauptkunden; Notizen dort beachten.', 'SON'))
       AS v(n, parent, d, u, b, t, c)
  JOIN demo_first f ON f.n = v.n
  LEFT JOIN demo_first p ON p.n = v.parent;

INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_wvod, rc_user, rc_betreff, rc_text,
                           rc_allg1, insert_by)
SELECT 'adressen', f.dbrid, v.w, v.u, v.b, v.t, 'Adressen  ~  ' || a.name, v.u
  FROM (VALUES (1, date '2026-12-14', 'postgres', 'Angebot nachfassen', 'Angebot 4711 nachfassen.'),
               (1, date '2027-01-08', 'mueller', 'Jahresgespräch', 'Termin für das Jahresgespräch.'),
               (3, date '2026-12-21', 'postgres', 'Mahnung prüfen', 'Zahlungseingang prüfen.'))
       AS v(n, w, u, b, t)
  JOIN demo_first f ON f.n = v.n
  JOIN adressen a ON a.dbrid = f.dbrid;

INSERT INTO recnogroup (reg_pname, reg_tablename, reg_gruppe, reg_pos, reg_paramtype, reg_default)
VALUES ('Kundengruppe', 'adressen', 'Vertrieb', 1, 'ptSTRING', 'B');

INSERT INTO recnokeyword (r_tablename, r_dbrid, r_oid, r_kategorie, r_descr, r_value,
                          r_reg_pname)
SELECT 'adressen', f.dbrid, f.dbrid::text, v.k, v.d, v.v, v.p
  FROM (VALUES (1, 'Branche', 'Maschinenbau', NULL, NULL),
               (1, 'Region', 'Nord', NULL, NULL),
               (1, NULL, 'Kundengruppe', 'A', 'Kundengruppe'),
               (2, 'Branche', 'Handel', NULL, NULL))
       AS v(n, k, d, v, p)
  JOIN demo_first f ON f.n = v.n;

INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_deletable, pd_descr, pd_path)
SELECT 'adressen', f.dbrid, true, v.d, v.p
  FROM (VALUES (1, 'Rahmenvertrag', 'Vertraege/Rahmenvertrag.pdf'),
               (3, 'Visitenkarte', 'Scans/Visitenkarte.tif'))
       AS v(n, d, p)
  JOIN demo_first f ON f.n = v.n;

DROP TABLE demo_first;
