-- Named SQL of the IDE's text picker.
-- Colours: grey = deleted, red = the English text is missing, bold number = a range's group mark.
INSERT INTO standardsql (ss_key, ss_sql, ss_descr) VALUES
('System.Text0.IDE',
$$SELECT t.t_nr, t.t_feld0, t.t_kundtxt0, t.t_feld3,
       coalesce(t.t_feld0 = :Text0Deleted, false) AS voskgray,
       coalesce(t.t_feld0, '') <> :Text0Deleted AND coalesce(trim(t.t_feld3), '') = ''
           AS voskred,
       EXISTS (SELECT 1 FROM text0numcircle n WHERE t.t_nr IN (n.start_group, n.end_group))
           AS t_nr_voskbold
  FROM text0 t
 ORDER BY t.t_feld0, t.t_nr$$,
 'Texte der Übersetzungsauswahl in der IDE'),
('System.Text0.NumCircles',
$$SELECT n.start_group, n.start_nr, n.end_nr, n.end_group, n.descr,
       (n.end_nr - n.start_nr + 1)::text || ' / ' || u.used AS count_nrs,
       coalesce(trim(n.descr), '') = '' AS descr_voskred,
       n.start_group IS NULL AS start_group_voskgray,
       n.end_group IS NULL AS end_group_voskgray,
       u.used * 10 >= (n.end_nr - n.start_nr + 1) * 9 AS voskyellow,
       u.used = 0 AS voskgreen
  FROM text0numcircle n
  CROSS JOIN LATERAL (SELECT count(*) AS used FROM text0 t
                       WHERE t.t_nr BETWEEN n.start_nr AND n.end_nr) u
 ORDER BY n.start_nr$$,
 'Nummernbereiche der Texte: Größe / verwendete Nummern'),
('System.Text0.GetNextNr',
$$WITH s AS (SELECT CAST(:TextNr AS integer) AS nr)
SELECT CASE WHEN NOT EXISTS (SELECT 1 FROM text0 WHERE t_nr = s.nr + 1) THEN s.nr + 1
            ELSE (SELECT t.t_nr + 1 FROM text0 t
                   WHERE t.t_nr > s.nr
                     AND NOT EXISTS (SELECT 1 FROM text0 u WHERE u.t_nr = t.t_nr + 1)
                   ORDER BY t.t_nr LIMIT 1)
       END AS next_free_nr,
       (SELECT coalesce(n.end_group, n.end_nr) FROM text0numcircle n
         WHERE s.nr BETWEEN n.start_nr AND n.end_nr ORDER BY n.start_nr DESC LIMIT 1)
           AS next_group_mark
  FROM s$$,
 'Nächste freie Textnummer über TextNr und das Ende ihres Nummernbereichs');
