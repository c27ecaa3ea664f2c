-- Record parameters of the addresses in two groups beside the customer group of 260: a number and
-- an exclusive enumeration for sales, a text and a check-list enumeration for shipping. The first
-- address carries values for most of them.
INSERT INTO recnogroup (reg_pname, reg_tablename, reg_gruppe, reg_pos, reg_paramtype,
                        reg_exclusive, reg_default) VALUES
    ('Rabatt', 'adressen', 'Vertrieb', 2, 'ptNUMBER', false, '0'),
    ('Zahlungsart', 'adressen', 'Vertrieb', 3, 'ptENUM', true, 'RE'),
    ('Lieferhinweis', 'adressen', 'Versand', 1, 'ptSTRING', false, NULL),
    ('Versandarten', 'adressen', 'Versand', 2, 'ptENUM', false, 'PAKET');

INSERT INTO recnoenums (rege_reg_pname, rege_pos, rege_code, rege_bez) VALUES
    ('Zahlungsart', 1, 'RE', 'Rechnung'),
    ('Zahlungsart', 2, 'VK', 'Vorkasse'),
    ('Zahlungsart', 3, 'LS', 'Lastschrift'),
    ('Versandarten', 1, 'PAKET', 'Paketdienst'),
    ('Versandarten', 2, 'SPED', 'Spedition'),
    ('Versandarten', 3, 'EXPR', 'Expresskurier'),
    ('Versandarten', 4, 'ABH', 'Selbstabholung');

INSERT INTO recnokeyword (r_tablename, r_dbrid, r_oid, r_descr, r_value, r_unit, r_reg_pname)
SELECT 'adressen', f.dbrid, f.dbrid::text, v.p, v.v, v.u, v.p
  FROM (SELECT dbrid FROM adressen ORDER BY name, dbrid LIMIT 1) AS f,
       (VALUES ('Rabatt', '3', '%'),
               ('Zahlungsart', 'RE', NULL),
               ('Lieferhinweis', 'Anlieferung nur vormittags, Tor 2', NULL),
               ('Versandarten', 'PAKET, sped', NULL)) AS v(p, v, u);
