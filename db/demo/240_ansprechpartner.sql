-- Two or three contact persons for each of the first 300 addresses, the same on every load; two
-- stored filters and a global column layout for their grid in the address module.
INSERT INTO ansprechpartner (adressen_id, nachname, vorname, funktion, telefon, email, geburtstag,
                             aktiv, insert_date, insert_by)
SELECT a.dbrid,
       n.name,
       v.vorname,
       f.funktion,
       '0' || (30 + (a.dbrid * 3 + k) % 60) || ' ' || (200000 + (a.dbrid * 7907 + k) % 700000),
       CASE WHEN (a.dbrid + k) % 4 = 0 THEN NULL
            ELSE lower(v.vorname) || '.' || lower(n.name) || '@beispiel.de' END,
       date '1960-01-01' + ((a.dbrid * 97 + k * 31) % 14000),
       (a.dbrid + k) % 5 <> 0,
       timestamp '2021-01-01 08:00' + ((a.dbrid * 3 + k) || ' hours')::interval,
       'admin'
FROM adressen a
CROSS JOIN generate_series(0, 2) AS k
JOIN (VALUES (0, 'Krüger'), (1, 'Hofmann'), (2, 'Schröder'), (3, 'Neumann'), (4, 'Schwarz'),
             (5, 'Zimmermann'), (6, 'Braun'), (7, 'Hartmann')) AS n(i, name)
  ON n.i = (a.dbrid + k * 3) % 8
JOIN (VALUES (0, 'Anna'), (1, 'Jürgen'), (2, 'Sabine'), (3, 'Michael'), (4, 'Petra'),
             (5, 'Thomas'), (6, 'Jörg')) AS v(i, vorname)
  ON v.i = (a.dbrid * 2 + k) % 7
JOIN (VALUES (0, 'Geschäftsführung'), (1, 'Einkauf'), (2, 'Buchhaltung'), (3, 'Vertrieb'),
             (4, 'Technik')) AS f(i, funktion)
  ON f.i = (a.dbrid + k) % 5
WHERE a.dbrid <= 300 AND (k < 2 OR a.dbrid % 3 = 0);

INSERT INTO grid_filters (gf_formclass, gf_savename, gf_name, gf_filter, gf_order) VALUES
    ('TFormAdress', 'GridAnsprechpartner', 'Aktive', 'aktiv = True', 1),
    ('TFormAdress', 'GridAnsprechpartner', 'Mit E-Mail', 'email IS NOT NULL', 2);

INSERT INTO grid_layouts (gl_formclass, gl_grid, gl_type, gl_user, gl_layout, gl_saved, gl_saved_by)
VALUES ('TFormAdress', 'GridAnsprechpartner', 2, '',
        '{"columns":[{"field":"vorname","width":110,"visible":true},'
        '{"field":"nachname","width":140,"visible":true},'
        '{"field":"funktion","width":140,"visible":true},'
        '{"field":"telefon","width":130,"visible":true},'
        '{"field":"email","width":220,"visible":true},'
        '{"field":"geburtstag","width":100,"visible":true},'
        '{"field":"aktiv","width":60,"visible":true}],'
        '"sortField":"nachname","sortDescending":false}',
        timestamp '2026-01-05 09:30', 'admin');
