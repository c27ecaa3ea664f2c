-- 1000 sample addresses, the same on every load.
INSERT INTO adressen (name, ort, plz, strasse, telefon, email, insert_date, insert_by)
SELECT n.name || ' ' || f.firma,
       o.ort,
       lpad(((i * 7919) % 90000 + 10000)::text, 5, '0'),
       s.strasse || ' ' || (i % 120 + 1),
       '0' || (30 + i % 60) || ' ' || (100000 + (i * 4241) % 900000),
       lower(n.name) || '.' || i || '@beispiel.de',
       timestamp '2020-01-01 08:00' + (i || ' hours')::interval,
       'admin'
FROM generate_series(1, 1000) AS i
JOIN (VALUES (0, 'Müller'), (1, 'Schmidt'), (2, 'Schneider'), (3, 'Fischer'), (4, 'Weber'),
             (5, 'Meyer'), (6, 'Wagner'), (7, 'Becker'), (8, 'Schulz'), (9, 'Hoffmann'),
             (10, 'Schäfer'), (11, 'Koch'), (12, 'Bauer')) AS n(k, name) ON n.k = i % 13
JOIN (VALUES (0, 'GmbH'), (1, 'KG'), (2, 'AG'), (3, 'und Söhne'), (4, 'e.K.'), (5, 'OHG'),
             (6, 'GmbH & Co. KG')) AS f(k, firma) ON f.k = i % 7
JOIN (VALUES (0, 'Berlin'), (1, 'Hamburg'), (2, 'München'), (3, 'Köln'), (4, 'Frankfurt am Main'),
             (5, 'Stuttgart'), (6, 'Düsseldorf'), (7, 'Leipzig'), (8, 'Dortmund'), (9, 'Essen'),
             (10, 'Bremen')) AS o(k, ort) ON o.k = i % 11
JOIN (VALUES (0, 'Hauptstraße'), (1, 'Schulstraße'), (2, 'Gartenstraße'), (3, 'Bahnhofstraße'),
             (4, 'Dorfstraße'), (5, 'Bergstraße'), (6, 'Birkenweg'), (7, 'Lindenstraße'),
             (8, 'Kirchstraße')) AS s(k, strasse) ON s.k = i % 9
ORDER BY i;
