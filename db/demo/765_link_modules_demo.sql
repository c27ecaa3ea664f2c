-- Keywords that name an address: the address module opens on the address a keyword of the
-- category "Adresse" names. The first address's contract and invoice carry its name as such a
-- keyword.
INSERT INTO linkmodule (lm_keyfield, lm_formclassname, lm_tablename, lm_caption)
VALUES ('name', 'TFormAdress', 'adressen', 'Adressen');

INSERT INTO recnokeywordcategory (rck_b, rck_column) VALUES ('Adresse', 'name'), ('Projekt', NULL)
ON CONFLICT (rck_b) DO NOTHING;

INSERT INTO recnokeyword (r_tablename, r_dbrid, r_oid, r_kategorie, r_descr)
SELECT 'picndoku', p.dbrid, p.dbrid::text, 'Adresse', upper(a.name)
  FROM picndoku p
  JOIN adressen a ON a.dbrid = p.pd_dbrid AND p.pd_tablename = 'adressen'
 WHERE p.pd_descr IN ('Rahmenvertrag', 'Rechnung 4711')
UNION ALL
SELECT 'picndoku', p.dbrid, p.dbrid::text, 'Projekt', 'NORD'
  FROM picndoku p
 WHERE p.pd_descr IN ('Rahmenvertrag', 'Rechnung 4711')
   AND p.pd_tablename = 'adressen';

-- The current contract also belongs to the second address (a framework contract of both).
INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, pdl_dbrid, pdl_dokident, pdl_checked,
                          pdl_comment)
SELECT p.pd_id, 'adressen', (SELECT dbrid FROM adressen ORDER BY name, dbrid OFFSET 1 LIMIT 1),
       'RV-2024', true, 'Mitunterzeichner'
  FROM picndoku p
 WHERE p.pd_descr = 'Rahmenvertrag' AND p.pd_dmsremotefile LIKE '%2024%';
