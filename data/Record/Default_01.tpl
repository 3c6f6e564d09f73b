[%BODY_BGN%]本次環口X光片判讀結果如下。
牙周方面，[%ppp%]。
齲齒[%ccc%]；根尖病灶[%aaa%]；殘根[%rrr%]；阻生齒[%iii%]；缺牙[%mmm%]。
既有治療方面，牙冠或牙橋[%bbb%]；人工植牙[%jjj%]；根管治療[%eee%]；填補物[%fff%]；牙柱[%ttt%]。
以上為影像初步判讀，仍須配合臨床檢查確認。[%BODY_END%]
[%PERI_SRS_BGN%]多處齒槽骨明顯吸收，疑似重度牙周病，建議安排完整牙周檢查與治療[%PERI_SRS_END%]
[%PERI_MOD_BGN%]部分區域齒槽骨吸收，疑似中度牙周病，建議進行牙周檢查[%PERI_MOD_END%]
[%PERI_MILD_BGN%]齒槽骨高度大致正常，未見明顯牙周破壞[%PERI_MILD_END%]
[%NONE_BGN%]未見[%NONE_END%]
[%PREFIX_BGN%]見於第 [%PREFIX_END%]
[%POSTFIX_BGN%] 號牙[%POSTFIX_END%]
