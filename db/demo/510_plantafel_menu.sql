-- The planning board in the demo host's main menu.
INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (510, NULL, 30, 'Planung', NULL, NULL, NULL),
       (511, 510, 10, 'Plantafel', 'TFormPlantafel', 'Plantafel.M', 'PLANTAFEL');
