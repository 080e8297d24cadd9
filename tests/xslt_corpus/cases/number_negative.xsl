<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:number value="-123.456"/></r></xsl:template>
</xsl:stylesheet>
